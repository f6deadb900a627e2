#pragma once

#include "platform/Error.h"
#include "platform/observation/Observable.h"
#include "platform/xml/XmlNode.h"
#include "template/KOVA_Template.h"
#include "workflow/outputs/KOVA_Destination.h"
#include "workflow/outputs/KOVA_Output_node.h"
#include "workflow/packages/KOVA_PackageOutput.h"

#include <QImage>
#include <QList>
#include <QMap>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>

class BitmapContext;
class KOVA_Asset;
class KOVA_OutputDelivery;
class KOVA_Package;

namespace platform {
class KeyedUnarchiver;
}

// One output of a product package: a picture of a given size made from one or more of the
// package's templates (one template unchanged, or several placed N-up by placement nodes),
// and the destinations it goes to. Read from an "output" element of a package file; run
// once per job (once per job image for an all-images output) on an output queue.
// Every property is read and replaced under a lock.
class KOVA_Output : public platform::Observable,
                    public KOVA_PackageOutput,
                    public std::enable_shared_from_this<KOVA_Output> {
public:
    static inline const QString ClassName = QStringLiteral("KOVA_Output");

    using Pointer = std::shared_ptr<KOVA_Output>;
    using List = QList<Pointer>;

    KOVA_Output();

    // Reads an "output" element: attributes first, so the size is known when codes are read.
    // An output past MaximumDestinations or MaximumNodes is refused while it is read: null,
    // with the error naming the limit in `error`, or logged without one.
    static Pointer initWithNode(const platform::XmlNode& node, platform::Error* error = nullptr);
    // Makes the packages read their outputs with initWithNode() (KOVA_PackageOutput).
    static void install();

    QVariantMap valuesDict() const;
    // The properties by name ("valuesDict", "width", "height", "size", "destinations",
    // "barcodes", "nodeNames", "allImagesPath", "allImages", "isSimpleOutlet",
    // "ignoresTemplates"); an invalid value for any other key.
    QVariant valueForKey(const QString& key) const override;
    QString name() const override;
    double width() const;
    double height() const;
    QSizeF size() const;
    void setSize(const QSizeF& size);
    QList<std::shared_ptr<KOVA_Output_node>> outputNodes() const;
    QList<std::shared_ptr<KOVA_Destination>> destinations() const;
    // Appends the destinations, announcing "destinations".
    void addDestinations(const QList<std::shared_ptr<KOVA_Destination>>& destinations);
    // Code dictionaries; kept, archived and copied, never drawn.
    QVariantList barcodes() const;
    TemplateMap templates() const;
    void setTemplates(const TemplateMap& templates) override;
    std::shared_ptr<KOVA_Package> package() const override;
    void setPackage(const std::shared_ptr<KOVA_Package>& package) override;
    // The older product description that read this output, if any.
    std::shared_ptr<KOVA_Asset> asset() const;
    void setAsset(const std::shared_ptr<KOVA_Asset>& asset);
    QString allImagesPath() const;
    void setAllImagesPath(const QString& path);

    // Made once per job image.
    bool allImages() const override;
    // Exactly one node, and that node fills the output's size.
    bool isSimpleOutlet() const;
    // Every destination asks for the original file (also with no destination at all).
    bool ignoresTemplates() const;
    // The all-images path when set, else the job's "image1" for the package.
    QString originalFilePath() const;
    QStringList nodeNames() const;

    // A copy made through a keyed archive (its own templates), with the same package.
    Pointer copy() const;
    KOVA_PackageOutput::Pointer copyForImage(const QString& imagePath) const override;
    void setDestinationLabel(const QString& label) override;

    // Fills and renders the templates, composes the picture and hands it to the delivery
    // installed for each file and printer destination (a destination whose kind has none
    // fails with an error); when every destination asks for the original, renders nothing
    // and hands the file destinations over for a copy. Each template is held for this output
    // from filling until its picture is taken. Returns when every destination has been handled.
    void processToCompletion(const Completion& completion) override;

    static QString xmlElementName() { return QStringLiteral("output"); }
    platform::XmlNode asXMLElement() const override;
    QString description() const;

    QStringList archiveClassHierarchy() const override;
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // Reads the keys encodeWithCoder wrote; null (the archive stopped with an error) when a
    // value is of the wrong kind. The templates' layers are linked to their containers again.
    static std::shared_ptr<platform::Archivable> initWithCoder(platform::KeyedUnarchiver& coder);
    // The classes an archive holding outputs is decoded with, the classes inside them included.
    static QStringList archiveAllowedClasses();

private:
    // A node's template filled and rendered, its crop applied.
    struct NodePicture {
        KOVA_Template::Pointer source;
        QImage picture;
    };
    using Failure = std::function<void(const platform::Error& error)>;

    void readAttribute(const platform::XmlNode& attribute);
    // A null error, or the limit the child would pass.
    platform::Error readChild(const platform::XmlNode& child);
    void readBarcode(const platform::XmlNode& element);
    void setAllImages();

    QImage filledPicture(const KOVA_Template::Pointer& source) const;
    QMap<QString, platform::Error> unreadableTemplates() const;
    bool usesUnreadableTemplate() const;
    NodePicture nodePicture(const KOVA_Output_node& node, const TemplateMap& templates, const Failure& fail) const;
    QImage composedPicture(const Failure& fail) const;
    QImage simpleOutletPicture(const KOVA_Output_node& node, const TemplateMap& templates, const Failure& fail) const;
    QImage nUpPicture(const QList<std::shared_ptr<KOVA_Output_node>>& nodes, const TemplateMap& templates,
                      const Failure& fail) const;
    static void drawNode(const KOVA_Output_node& node, const NodePicture& placed, const QSizeF& outputSize,
                         std::shared_ptr<BitmapContext>& canvas);
    static std::shared_ptr<KOVA_OutputDelivery> deliveryFor(const KOVA_Destination& destination, const Failure& fail);
    void deliverOriginals(const Completion& completion, const Failure& fail);
    void deliverPicture(const QImage& picture, const Completion& completion, const Failure& fail);

    mutable std::mutex m_mutex; // guards every field below
    QVariantMap m_valuesDict;
    double m_width = 0;
    double m_height = 0;
    QList<std::shared_ptr<KOVA_Output_node>> m_outputNodes;
    QList<std::shared_ptr<KOVA_Destination>> m_destinations;
    QVariantList m_barcodes;
    TemplateMap m_templates;
    std::weak_ptr<KOVA_Package> m_package;
    std::weak_ptr<KOVA_Asset> m_asset;
    QString m_allImagesPath;
};
