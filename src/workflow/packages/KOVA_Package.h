#pragma once

#include "core/foundation/ZORVAK_Audited.h"
#include "platform/Error.h"
#include "platform/xml/XmlNode.h"
#include "template/KOVA_Template.h"
#include "template/KOVA_XML_object.h"
#include "workflow/jobs/KOVA_JobPackage.h"
#include "workflow/packages/KOVA_PackageOutput.h"

#include <QMap>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

class KOVA_Job;

namespace platform {
class DispatchQueue;
}

// A product package: its product code, its templates and its outputs, read from a package
// file or written inline in a job ticket. Found for a job's package description by
// packageWithDictionary() (the portrait or landscape variant by the shape of the job's
// first image), then run for that job by processToCompletion(), which spreads the outputs
// over the process-wide pool of output queues.
class KOVA_Package : public KOVA_XML_object, public KOVA_JobPackage, public ZORVAK_Audited {
public:
    static inline const QString ClassName = QStringLiteral("KOVA_Package");

    using Pointer = std::shared_ptr<KOVA_Package>;
    using Outputs = QList<KOVA_PackageOutput::Pointer>;
    // Called with the values read so far, the parse's error (null for none) and a stop
    // flag the callback may set to leave the body unread.
    using ParseCallback = std::function<void(const QVariantMap& values, const platform::Error& error, bool& stop)>;

    KOVA_Package();
    ~KOVA_Package() override;
    // An empty package named "inlinePkg" with "type" "inline".
    static Pointer init();
    // An inline package read from a "package" element of a ticket, owned by `job`; null
    // when its body is refused.
    static Pointer initWithNode(const platform::XmlNode& node, const std::shared_ptr<KOVA_Job>& job);
    // The package to run for a job's package description, or null when none is found.
    static Pointer packageWithDictionary(const QVariantMap& description);
    // Makes the jobs read and find their packages with the two above (KOVA_JobPackage).
    static void install();

    // Reads the root's attributes and then the body. The callback hears of a wrong "type"
    // or a "version" outside 1.0 to 1.99 once, with the error (the body stays unread);
    // otherwise once before the body, where it may stop the reading, and once after, with
    // the error of a refused body.
    // Nothing is read, and nobody called, when the text is no XML document.
    void parseXML(const ParseCallback& callback);
    // Reads a body: the children of a package root or of an inline "package" element. A
    // body with more than MaximumOutputs outputs, or with an output that its reader refuses,
    // is refused: no output is kept and the error names the limit.
    platform::Error parseXMLNode(const platform::XmlNode& element);

    // The most outputs one package may have.
    static constexpr int MaximumOutputs = 1000;

    QString packageName() const override;
    // Stores the name (the value "name").
    void setPackageName(const QString& name) override;
    QString pluCode() const override;
    std::shared_ptr<KOVA_TemplateJob> job() const override;
    // The value "urlJobContainer", else the owning job's container.
    QUrl urlJobContainer() const override;
    std::shared_ptr<KOVA_Job> owningJob() const;
    void setJob(const std::shared_ptr<KOVA_Job>& job) override;

    // Template name to template.
    TemplateMap kovaNodes() const override;
    // Template name to the error of a template file that was found but does not parse.
    QMap<QString, platform::Error> unreadableTemplates() const;
    Outputs outputs() const;
    // Stores each template under its name ("booger" when it has none).
    void addTemplates(const KOVA_Template::List& templates);
    // Appends the outputs, announcing "outputs".
    void addOutputs(const Outputs& outputs);

    // The next queue of the process-wide pool of output queues, handed out in turn.
    static std::shared_ptr<platform::DispatchQueue> outputQueue();
    // The serial queue that guards the pool's turn.
    static std::shared_ptr<platform::DispatchQueue> atomicQueue();
    // Runs every output (an all-images output once per job image, as copies) and returns
    // when all are done, after calling `completion` once: false when any output failed, and
    // the last error an output reported (a failure that reported none gets one naming the
    // package, so that a failure never passes for success). The job's destination label is
    // stored in every destination first. An output that cannot be copied counts as failed.
    void processToCompletion(const Completion& completion) override;

    static QString xmlElementName() { return QStringLiteral("package"); }
    // "type" "inline" and "id" the package name ("pkg" without one).
    QList<std::pair<QString, QString>> xmlElementAttributes() const;
    // A "template" element per template read from a file, then the outputs' elements.
    QList<platform::XmlNode> xmlElementChildren() const;
    // The written form; a package whose values are still empty first reads its document.
    platform::XmlNode asXMLElement() override;
    QVariant archivedValue() override;

    // Answers "outputs" and "kovaNodes" besides the base's keys.
    QVariant valueForKey(const QString& key) const override;

    QStringList auditedProductKeys() const override { return {QStringLiteral("thumbnail")}; }
    QStringList archiveClassHierarchy() const override;

protected:
    // A package file past the most outputs, destinations or nodes is refused while it
    // is parsed, so a file of a hundred thousand destinations costs no more than one
    // of a thousand.
    int maximumSameNamedSiblings() const override
    {
        return std::max({MaximumOutputs, KOVA_PackageOutput::MaximumDestinations, KOVA_PackageOutput::MaximumNodes});
    }

private:
    platform::Error readRootAttributes(const platform::XmlNode& root);
    platform::Error readBodyElement(const platform::XmlNode& element, Outputs& outputs);
    void readTemplateElement(const platform::XmlNode& element);
    void readTemplateInPlace(const platform::XmlNode& element);
    void setNode(const QString& name, const KOVA_Template::Pointer& node);
    void setUnreadableTemplate(const QString& name, const QUrl& file, const platform::Error& parseError);
    std::shared_ptr<KOVA_Package> sharedPackage();
    // The name the log and errors show: the package name, else its product code.
    QString displayName() const;
    // The package file's path, else the display name.
    QString documentName() const;

    mutable std::mutex m_packageMutex; // guards every field below
    std::weak_ptr<KOVA_Job> m_job;
    TemplateMap m_nodes;
    QMap<QString, platform::Error> m_unreadableTemplates;
    Outputs m_outputs;
};
