#pragma once

#include "platform/Error.h"
#include "platform/xml/XmlNode.h"
#include "template/KOVA_Template.h"
#include "template/KOVA_TemplatePackage.h"

#include <QMap>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>

class KOVA_Job;

// What a job needs of the product packages it holds and runs (KOVA_Package, above the
// jobs, is one): their names, templates, written and archived forms, and running them for
// the job. The packages install how one is read from a ticket and found for a package
// description as the road is set up (KOVA_Road).
class KOVA_JobPackage : public KOVA_TemplatePackage {
public:
    using Pointer = std::shared_ptr<KOVA_JobPackage>;
    // Template name to template.
    using TemplateMap = QMap<QString, KOVA_Template::Pointer>;
    // Called once when the package has run: false when any output failed, with the last
    // error an output reported.
    using Completion = std::function<void(bool success, const platform::Error& error)>;
    // An inline package read from a ticket's "package" element, owned by `job`; null when
    // its body is refused.
    using NodeReader = Pointer (*)(const platform::XmlNode& node, const std::shared_ptr<KOVA_Job>& job);
    // The package to run for a job's package description; null when none is found.
    using Finder = Pointer (*)(const QVariantMap& description);

    virtual void setPackageName(const QString& name) = 0;
    virtual void setJob(const std::shared_ptr<KOVA_Job>& job) = 0;
    virtual TemplateMap kovaNodes() const = 0;
    virtual void processToCompletion(const Completion& completion) = 0;
    virtual platform::XmlNode asXMLElement() = 0;
    // The package as a job keeps it among its values: an archived object.
    virtual QVariant archivedValue() = 0;

    // Installs how packages are read and found. Thread-safe.
    static void install(NodeReader nodeReader, Finder packageFinder);
    // Through what was installed; a program that set no packages up stops with a message
    // saying so.
    static Pointer initWithNode(const platform::XmlNode& node, const std::shared_ptr<KOVA_Job>& job);
    static Pointer packageWithDictionary(const QVariantMap& description);
};
