#pragma once

#include "platform/Error.h"
#include "platform/plist/Archivable.h"
#include "platform/xml/XmlNode.h"
#include "template/KOVA_Template.h"

#include <QMap>
#include <QString>

#include <functional>
#include <memory>

class KOVA_Package;

// What a product package needs of the outputs it holds and runs (KOVA_Output, above the
// packages, is one): their names, templates, written and archived forms, and running them.
// The outputs install how one is read from an "output" element as the road is set up
// (KOVA_Road).
class KOVA_PackageOutput : public platform::Archivable {
public:
    using Pointer = std::shared_ptr<KOVA_PackageOutput>;
    // Template name to template: the package's templates, given before each run.
    using TemplateMap = QMap<QString, KOVA_Template::Pointer>;
    // Called once per reported event; any false flag is a failure of the output, and the
    // caller keeps the last error it receives.
    using Completion = std::function<void(bool success, const platform::Error& error)>;
    // Reads an "output" element; null, with the error in `error` (or logged without one),
    // when it is refused.
    using NodeReader = Pointer (*)(const platform::XmlNode& node, platform::Error* error);

    // The most destinations, and the most placement nodes, one output may have: each is
    // a file written or a picture drawn for every job.
    static constexpr int MaximumDestinations = 1000;
    static constexpr int MaximumNodes = 1000;

    virtual QString name() const = 0;
    virtual std::shared_ptr<KOVA_Package> package() const = 0;
    virtual void setPackage(const std::shared_ptr<KOVA_Package>& package) = 0;
    virtual void setTemplates(const TemplateMap& templates) = 0;
    // Made once per job image.
    virtual bool allImages() const = 0;
    // Stores the job's destination label in every destination.
    virtual void setDestinationLabel(const QString& label) = 0;
    // A copy for one job image (run with that image as its all-images path), with the same
    // package; null when it cannot be made (logged).
    virtual Pointer copyForImage(const QString& imagePath) const = 0;
    virtual void processToCompletion(const Completion& completion) = 0;
    virtual platform::XmlNode asXMLElement() const = 0;

    // Installs how outputs are read. Thread-safe.
    static void install(NodeReader nodeReader);
    // Through what was installed; a program that set no outputs up stops with a message
    // saying so.
    static Pointer initWithNode(const platform::XmlNode& node, platform::Error* error);
};
