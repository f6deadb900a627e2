#pragma once

#include "platform/Error.h"
#include "platform/xml/XmlNode.h"

#include <QUrl>
#include <QVariantMap>

#include <memory>

class KOVA_Job;

// Reads the elements of a parsed job ticket into a job's values: the root's
// attributes, the native dialect ("type" kova_job), the dialect the Wrenlow ordering
// application writes, and the value rules both share. Every reader skips comments
// and logs any other node that is not an element, then goes on.
class KOVA_JobTicketReader {
public:
    static inline const QString wrenlowType = QStringLiteral("KOVA_Job_wrenlow");

    // "type" and "version" of the root element into `values` as written; other
    // attributes are logged.
    static void storeRootAttributes(QVariantMap& values, const platform::XmlNode& root);

    // The native dialect: package descriptions (each given "job" = the job's bundle
    // when it has one; an inline package built with `job` as its owner), the image
    // list and job-level value elements.
    static platform::Error parseXML_kovaVersion1(QVariantMap& values, const platform::XmlNode& root,
                                                 const std::shared_ptr<KOVA_Job>& job);
    // The Wrenlow dialect: its fields, the image list and value elements; then the
    // image paths joined to Wrenlow's search folder and the one package description
    // named by the product code. Fails without "plucode" or "imagepath".
    static platform::Error parseXML_wrenlowVersion1(QVariantMap& values, const platform::XmlNode& root);

    // Applies one value element to `target` (the job's values or a package
    // description): a compact element (one child node) gives its text and its
    // "croprect" attribute, an expanded one its "filepath", "croprect", "rotation"
    // and "template" children.
    static void buildDictionary(QVariantMap& target, const platform::XmlNode& element);

    // The Wrenlow search folder from its preferences; empty when it has none.
    static QString wrenlowSearchFolder();

private:
    static void applyCompactValue(QVariantMap& target, QVariantMap& replacements, const platform::XmlNode& element);
    static void applyExpandedValue(QVariantMap& target, QVariantMap& replacements, const platform::XmlNode& element);
    static QVariantMap packageDescription(const platform::XmlNode& element, const std::shared_ptr<KOVA_Job>& job);
    static QVariantList imageList(const platform::XmlNode& element);
    static void applySearchFolder(QVariantMap& values);
};
