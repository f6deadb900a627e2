#pragma once

#include "core/foundation/ZORVAK_Audited.h"
#include "core/text/AttributedString.h"
#include "template/KOVA_RenderOptions.h"
#include "template/KOVA_TemplateProperty.h"
#include "template/KOVA_XML_object.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

class QMimeData;
class QTextDocument;

namespace platform {
class DispatchQueue;
class XmlNode;
}

// One class for a whole template and for each of its layers. A template is a tree:
// the root is the template document (its frame is the canvas), it holds an ordered
// list of layers, and a container layer may hold layers of its own. Every value of
// a template or layer lives in its value map under the texts of the XML vocabulary;
// this class adds the tree links, the layer list with z order and selection, change
// counting, copying, equality, the typed properties over the value map, and the
// template file format in both directions.
//
// Frames have their origin at the top left with y growing downwards. Changes are
// announced to observers before and after, under the property's name; the layer list
// operations announce "layers", the selection "layersSelected". Every announced name is
// a row of the one property table (KOVA_TemplateProperty), through which valueForKey
// answers. Setting a property of a layer counts one change in the layer's parent.
//
// The model takes no locks beyond those of the value map and the selection: a
// template is edited by one thread at a time. Rendering state (queue, image cache,
// thumbnail) has a lock of its own; see "Rendering" below.
class KOVA_Template : public KOVA_XML_object, public ZORVAK_Audited {
public:
    using Pointer = std::shared_ptr<KOVA_Template>;
    using List = QList<Pointer>;
    // Receives the URL written and no error, or no URL and the error.
    using SaveReply = std::function<void(const QUrl& url, const std::optional<platform::Error>& error)>;

    static inline const QString ClassName = QStringLiteral("KOVA_Template");

    // Layer type codes; a layer has exactly one.
    static constexpr unsigned layerTypeNone = 0;
    static constexpr unsigned layerTypeCanvas = 1;
    static constexpr unsigned layerTypeContainer = 2;
    static constexpr unsigned layerTypeImage = 4;
    static constexpr unsigned layerTypeGraphic = 8;
    static constexpr unsigned layerTypeTextbox = 16;
    static constexpr unsigned layerTypeStamp = 32;

    // Text alignment codes.
    static constexpr unsigned textAlignmentLeft = 0;
    static constexpr unsigned textAlignmentRight = 1;
    static constexpr unsigned textAlignmentCenter = 2;
    static constexpr unsigned textAlignmentJustified = 3;

    // A plain document: empty value map, no frame. Use init() or initForCopy().
    KOVA_Template();
    ~KOVA_Template() override;

    // ---- Construction, copy, archiving ----

    // A new root: empty value map, frame (0, 0, 1000, 1000).
    static Pointer init();
    // A new object with an empty value map and no frame; new layers start so.
    static Pointer initForCopy();
    // A deep copy made through a keyed archive. Values that cannot be archived (in-memory
    // images) are missing from the copy; the original keeps them. Inside the copy every
    // layer's parent is its container; the copy itself has no parent, and its package is
    // this object's package. Scale, lastSaved, selection and change count start empty.
    Pointer copy() const;

    QStringList archiveClassHierarchy() const override;
    // Registers the class with the unarchiver (done once, before any decoding).
    static void registerArchiveClass();

    // ---- Class-level facts ----

    // Frames have their origin at the top left: always true.
    static bool isFlipped() { return true; }
    bool geometryFlipped() const { return true; }
    // "layout", "node", "portrait", "landscape", "square".
    static const QStringList& allContainerKeys();
    // The first container key equal to the node's name without regard to case (as the
    // vocabulary writes it), or a null text.
    static QString containerKeyForNode(const platform::XmlNode& node);
    // "1.0", the version written into template files.
    static QString xmlVersionString();

    // ---- Layer list ----

    // The layers in z order, lowest first.
    List layers() const;
    // Replaces the list; counts a change in the parent.
    void setLayers(const List& layers);
    // Adds at the end, each with this object as parent and the next z index, re-sorts and
    // selects exactly the added layers.
    void addLayers(const List& layers);
    void addLayer(const Pointer& layer);
    // Creates, places, adds and selects a new layer of the type code; returns it.
    Pointer addLayerOfType(unsigned layerType);
    // Removes exactly the given layers (by identity), clears the selection, re-sorts.
    void deleteLayers(const List& layers);
    void deleteLayer(const Pointer& layer);
    // Sorts by the integer value of each z index (a stable sort: equal indexes keep their
    // order) and renumbers "100", "200", ...; a list of fewer than two is left alone.
    void sortLayers();
    // The z index texts of the layers in list order (an empty text for a layer without).
    QStringList zLevelStrings() const;
    // Appends a layer the reader made, without announcements or counting.
    void appendLayerUnannounced(const Pointer& layer);

    // ---- Selection ----

    // The selected layers in index order; empty when nothing is selected (a single
    // selected index past the end selects nothing).
    List layersSelected() const;
    // Ascending indexes into layers().
    QList<qsizetype> indexSetLayersSelected() const;
    void setIndexSetLayersSelected(const QList<qsizetype>& indexes);
    // Selects the given layers (each found by identity; others ignored), adding to the
    // selection or replacing it. Replacing with an empty list clears the selection.
    void selectLayers(const List& layers, bool byExtendingSelection);
    // The same with one layer; a null layer without extending clears the selection.
    void selectLayer(const Pointer& layer, bool byExtendingSelection);
    // Removes the layer (by identity) from the selection when it is selected.
    void deselectLayer(const Pointer& layer);

    // ---- Type ----

    unsigned layerType() const;
    // Stores the code's type text; codes other than the six remove the type. Counts a
    // change in the parent.
    void setLayerType(unsigned layerType);
    static QString stringForLayerType(unsigned layerType);
    static unsigned layerTypeForString(const QString& typeText);
    bool isEqualToType(const QString& typeText) const;
    bool isTypeContainer() const;
    bool isImageType() const;
    bool isGraphicType() const;
    bool isTextboxType() const;
    bool isTypeStamp() const;
    bool isTypeNode() const;

    // ---- Identity ----

    // Equal value maps: same keys, equal values, texts as text, numbers by value,
    // rectangles by value, lists and maps element by element with this same equality (so
    // layer trees compare deeply). An empty layer list counts as no list. Links, URL,
    // XML text, selection, scale and change count take no part.
    bool isEqual(const KOVA_Template* other) const;
    bool isEqualToTemplate(const KOVA_Template* other) const;
    // Equal templates hash alike.
    std::size_t hash() const;
    // Image and graphic layers: the graphic path; text and stamp layers: their text;
    // others: the document name.
    QString name() const;
    QString description() const;
    QString typeString() const;
    // The log listing of a value: maps and lists entry by entry.
    static QString descriptionForObject(const QVariant& value);

    // ---- Links and counting ----

    Pointer parent() const;
    void setParent(const Pointer& parent);
    // The package link when set, else the parent's package, recursively.
    std::shared_ptr<KOVA_XML_object> package() const;
    void setPackage(const std::shared_ptr<KOVA_XML_object>& package);
    qint64 changeCount() const;
    void setChangeCount(qint64 changeCount);
    // A copy taken when the template was last read or written.
    Pointer lastSaved() const;
    void setLastSaved(const Pointer& lastSaved);
    // Drawing scale: multiplies frame, border width and font size on reading.
    std::optional<double> scale() const;
    void setScale(std::optional<double> scale);

    // ---- Geometry properties ----

    // The stored frame times the scale; the zero rectangle when absent.
    QRectF frame() const;
    // The stored frame times `factor`, as a rendering at that scale draws it.
    QRectF frameScaledBy(double factor) const;
    // Divides by the scale (when above 0) and stores; a negative width or height is
    // refused with a log line.
    void setFrame(const QRectF& frame);
    QRectF frameUnscaled() const;
    double x() const;
    double y() const;
    double width() const;
    double height() const;
    void setX(double x);
    void setY(double y);
    // Refuse values that are not above 0 with a log line.
    void setWidth(double width);
    void setHeight(double height);
    QSizeF canvasSize() const;
    // Radians; none when unrotated.
    std::optional<double> rotation() const;
    void setRotation(std::optional<double> rotation);
    bool autorotate() const;
    void setAutorotate(bool autorotate);

    // ---- Shadow ----

    double shadowOffsetX() const;
    double shadowOffsetY() const;
    void setShadowOffsetX(double x);
    void setShadowOffsetY(double y);
    // (x, -y): layer geometry is flipped.
    QSizeF shadowOffset() const;
    double shadowBlur() const;
    // Negative values are ignored.
    void setShadowBlur(double blur);
    QString shadowColorCode() const;
    void setShadowColorCode(const QString& code);
    double shadowOpacity() const;
    void setShadowOpacity(double opacity);
    bool hasShadow() const;
    void setHasShadow(bool hasShadow);

    // ---- Border ----

    // The stored width (or the default) times the scale, or times `factor`.
    double borderWidth() const;
    double borderWidthScaledBy(double factor) const;
    void setBorderWidth(double width);
    QString borderColorCode() const;
    void setBorderColorCode(const QString& code);
    double borderOpacity() const;
    void setBorderOpacity(double opacity);
    bool hasBorder() const;
    void setHasBorder(bool hasBorder);
    bool borderClipsContent() const;
    void setBorderClipsContent(bool clipsContent);

    // ---- Background ----

    QString backgroundColorCode() const;
    void setBackgroundColorCode(const QString& code);
    double backgroundOpacity() const;
    void setBackgroundOpacity(double opacity);
    bool hasBackground() const;
    void setHasBackground(bool hasBackground);

    // ---- Crop ----

    bool hasCropRect() const;
    bool isNormalizedCropRect() const;
    QRectF unflippedCropRect() const;

    // ---- Text ----

    QString key() const;
    QString keyPlaceholder() const;
    void setKey(const QString& key);
    QString textAlignmentString() const;
    void setTextAlignmentString(const QString& alignment);
    unsigned textAlignment() const;
    void setTextAlignment(unsigned alignment);
    QString textColorCode() const;
    void setTextColorCode(const QString& code);
    double textOpacity() const;
    void setTextOpacity(double opacity);
    QString stampFormat() const;
    void setStampFormat(const QString& format);
    // "shortDate", "abrevDate", "longDate", "custom" for a layer keyed "date"; else empty.
    QStringList stampFormats() const;
    QString fontName() const;
    void setFontName(const QString& fontName);
    QString fontSize() const;
    void setFontSize(const QString& fontSize);
    QString stringValue() const;
    void setStringValue(const QString& string);
    // The attributes of text and stamp layers that have a text of their own; none for others.
    std::optional<TextAttributes> attributes() const;
    // The attributes a text or stamp layer is drawn with, whether or not it has a text of
    // its own (a stamp showing a date or file name keeps its font and colour); none for
    // other layers. The font size is multiplied by the scale, or by `factor`.
    std::optional<TextAttributes> drawingAttributes() const;
    std::optional<TextAttributes> drawingAttributesScaledBy(double factor) const;
    std::optional<TextAttributes> stringAttributes() const { return attributes(); }
    bool hideExtension() const;

    // ---- Files, keys, order, gravity ----

    // "filepath", else "filename"; a null text when neither is a text.
    QString graphicPath() const;
    void setGraphicPath(const QString& path);
    // The job's image path, else the parent's, recursively.
    QString filepathCustomImage() const;
    void setFilepathCustomImage(const QVariant& path);
    QString zLevelString() const;
    void setZLevelString(const QString& zLevel);
    // The stored gravity through normalizedGravity.
    QString gravity() const;
    void setGravity(const QString& gravity);
    // "resize", "resizeAspect", or "resizeAspectFill" for anything else.
    static QString normalizedGravity(const QString& gravity);

    // ---- Loading ----

    // The template (or node) file found for `path` (a text path or a QUrl) by the search
    // order: unchanged, standardized, inside the job container, in the configured folder.
    static Pointer templateWithPath(const QVariant& path, bool isNode, const QUrl& jobContainer);
    static Pointer templateWithPath(const QVariant& path, const QUrl& jobContainer);
    static Pointer nodeWithPath(const QVariant& path, const QUrl& jobContainer);
    static Pointer instanceWithXMLObject(const QVariant& path);
    // The object built from one XML node; for a node-type layer, the node file it names.
    static Pointer initWithNode(const platform::XmlNode& node, const QUrl& jobContainer);
    static void setCurrentTemplatesFolder(const QUrl& folder);
    static QUrl currentTemplatesFolder();

    // ---- Saving and export ----

    // Why the file this document was read from gave no template (it does not parse, or
    // holds no layout): the reader's bare document of such a file. Nothing for a
    // template that was read, or one that has no file.
    std::optional<platform::Error> unreadableReason();
    // Why the file this template was read from gave it only once repaired (an element
    // left open, a stray "&", a mistyped closing tag): what strict reading said of the
    // file. A save then writes the repaired form over it. Nothing for a file that read
    // strictly, and nothing once the template has been written to its file.
    std::optional<platform::Error> repairedReason() const;
    void setRepairedReason(const std::optional<platform::Error>& reason);
    // True when the value map differs from that of lastSaved, or there is no lastSaved.
    bool hasUnsavedChanges() const;
    void saveChanges(const SaveReply& reply);
    // Writes to `url` (even when nothing changed, if it is not the template's own file)
    // and makes it the template's file.
    void saveChangesToURL(const QUrl& url, const SaveReply& reply);
    // Writes the template to `url`, else to its own file; the reply is called before
    // returning.
    void filePath(const QUrl& url, const SaveReply& saveChanges);
    // The value keys written as child elements for this layer's type.
    QStringList availableChildren() const;
    // The value keys written as attributes of the child `childKey`.
    static QStringList attributesForChild(const QString& childKey);
    static QString translatedChildName(const QString& key);
    static QString translatedAttributeName(const QString& key);
    static QString translatedAttributeValue(const QString& value);
    static std::pair<QString, QString> xmlAttributeTranslatedName(const QString& key, const QString& value);
    static QString xmlElementName();
    QList<std::pair<QString, QString>> xmlElementAttributes() const;
    QList<platform::XmlNode> xmlElementChildren() const;
    // A "template" element naming this template and its file.
    platform::XmlNode asXMLElement() const;

    // ---- Stamps and filling from a job ----

    // The text a stamp layer shows (file name parts, date, time, editable text, package
    // name), or none.
    std::optional<QString> stampValue() const;

    // Fills every layer, recursively, from the job of the template's package: keyed image
    // and graphic layers get the job's picture (or one pre-rendered from the sub-template
    // the job names) and crop, keyed text layers the job's text. Changes the layers in
    // place; the template must not be used elsewhere meanwhile.
    void replaceKeyValues();
    // Puts the first image and the first crop rectangle text into every image layer,
    // recursively, then fills the template from the job.
    void replaceImages(const QList<QUrl>& images, const QStringList& andCropRects);

    // ---- Rendering ----
    //
    // Every render of an object runs on the object's own serial rendering queue, one at
    // a time, in one of four modes: full (image, imageUncached, getComposedImage),
    // preview (placeholders and reduced pictures allowed), preview without the layers'
    // rotation, and thumbnail (preview mode on a private copy). The mode and the
    // object's scale reach the compositor as render options: drawing only reads the
    // template and its layers, so renders with different options may run at once.
    // Rendering state lives in memory only and is never archived or copied.
    //
    // A main-queue caller may wait on a rendering queue (image, imageUncached): nothing
    // that runs there ever waits for the main queue. The operations that render in the
    // background keep the object alive until they are done; they need an object owned
    // by a shared pointer (as every template is) and otherwise log and do nothing.

    using ImageBlock = std::function<void(const QImage& image)>;

    // The serial queue that serialises the turn counter of the rendering pool.
    static std::shared_ptr<platform::DispatchQueue> atomicQueue();
    // The next queue of the process-wide pool of one serial queue per logical
    // processor (at least one), handed out in turn.
    static std::shared_ptr<platform::DispatchQueue> renderingQueueOfPool();
    // This object's rendering queue, made on first use and labelled with the name the
    // object had then.
    std::shared_ptr<platform::DispatchQueue> renderingQueue() const;

    // The rendered picture, kept in this object's cache under its present name: later
    // calls under the same name give the same image without rendering; nothing else
    // empties the cache. The caller waits; a null image when nothing can be rendered.
    QImage image();
    // The picture drawn with `options`, rendered as image() does and kept in the cache
    // under the present name and the options: the picture of a nested container, drawn
    // in its parent's options.
    QImage image(const KOVA_RenderOptions& options) const;
    // The template rendered afresh in full mode (the caller waits), or a null image.
    QImage imageUncached();
    // Renders a preview (with or without the layers' rotation) on the rendering queue
    // and calls `block` on the main queue with it. A null block renders nothing.
    void getPreviewImage(const ImageBlock& block);
    void getPreviewImageUnrotated(const ImageBlock& block);
    void getUnrotated(bool unrotated, const ImageBlock& previewImage);
    // Renders afresh in full mode and calls `block` on the rendering queue.
    void getComposedImage(const ImageBlock& block);
    // Renders a private copy in preview mode on a white background, scaled to fit
    // sizeThumbnail(), and calls `block` on the rendering queue. This object's flags,
    // scale, cache and values stay untouched.
    void getThumbnailImage(const ImageBlock& block);
    // The thumbnail once made, else a null image; the first call starts the one render
    // under way at a time, and "thumbnail" is announced on the main queue when it is
    // stored. A failed render is tried again by the next call. Safe on any thread.
    QImage thumbnail();
    static QSizeF sizeThumbnail() { return {192, 192}; }
    // The factor that fits the unscaled frame into `size`; none when a side of either
    // is not above 0.
    std::optional<double> scaleForSize(const QSizeF& size) const;
    // The unscaled frame size times scaleForSize(size), or unscaled without one.
    QSizeF sizeScaledToSize(const QSizeF& size) const;
    // The file-system generation of the template file; empty without a file.
    QByteArray generationID() const;
    // Whether a preview of this object (without the layers' rotation) is being rendered.
    bool isRenderingPreview() const { return m_isRenderingPreview; }
    bool isRenderingUnrotated() const { return m_isRenderingUnrotated; }
    bool isRenderingThumbnail() const;
    // Composes the template's layers with `options` into a new picture on the calling
    // queue (see KOVA_ProductImageComposer), changing nothing; callers go through the
    // operations above.
    QImage createProductImage(const KOVA_RenderOptions& options) const;

    // Held by an output from filling the template until its picture is taken, so that
    // no other output fills or renders the same template object in between. Renders
    // themselves do not take it (they are serial on the rendering queue anyway); every
    // code that fills a shared template for an output must.
    std::unique_lock<std::mutex> lockForOutput();

    // ---- Pasting ----

    // The reading option that hands an item's contents over as data.
    static constexpr unsigned pasteboardReadingAsData = 0;

    // "public.text" and "public.image".
    static QStringList pasteboardReadableTypes();
    // The types read from `pasteboard`, without duplicates: those of its formats that
    // the text reader takes (RTF, HTML, plain text, generic text, in that order), then
    // those the image reader takes, then any other of pasteboardReadableTypes() it
    // offers. A MIME format stands for its type; any other format names a type itself.
    static QStringList readableTypesForPasteboard(const QMimeData& pasteboard);
    // How the contents of `type` are handed over: always as data.
    static unsigned readingOptionsForType(const QString& type, const QMimeData& pasteboard);
    // A new layer made from pasted contents of `ofType`. Image data is saved as a new
    // file in the graphics folder and becomes a graphic layer framed to the image's
    // upright pixel size. Text (data or a text) becomes a text layer that takes the
    // colour, font, size and alignment of its first character, framed to the size of
    // the text. Anything else, and image data that cannot be saved (logged), gives a
    // layer without type.
    static Pointer initWithPasteboardPropertyList(const QVariant& contents, const QString& ofType);
    // Takes the document's plain text as this layer's text, with the colour, font, size
    // and alignment of its first character, as pasted text gives them; false, changing
    // nothing, for an empty document.
    bool takeRichText(QTextDocument& document);

    // ---- Observation and audit ----

    QVariant valueForKey(const QString& key) const override;
    QStringList auditedProductKeys() const override;

    Pointer sharedTemplate();
    std::shared_ptr<const KOVA_Template> sharedTemplate() const;

private:
    friend class KOVA_TemplateReader;
    // The property table reads the stored thumbnail and the layer entries.
    friend struct KOVA_TemplateProperty;
    using Property = KOVA_TemplateProperty::ID;

    static std::shared_ptr<platform::Archivable> initWithCoder(platform::KeyedUnarchiver& coder);

    // The layers as value-map entries.
    static QVariantList variantList(const List& layers);
    void storeLayers(const List& layers);
    void linkLayersToParents();
    void countChangeInParent() const;
    void incrementChangeCount();
    // Announces `properties` before and after `change`, under their names in the table.
    void announcing(std::initializer_list<Property> properties, const std::function<void()>& change);
    static qsizetype indexOfLayer(const KOVA_Template* layer, const List& layers);
    static qint64 lastLayerZIndex(const List& layers);

    // Property helpers. An invalid entry removes the key. Storing counts one change in
    // the parent. A property's entry is its stored key in the table.
    static const QString& storedKey(Property property);
    void storeEntry(const QString& key, const QVariant& entry);
    // Announces `property` (then `alsoAnnounced`) around storeEntry of its entry.
    void storeProperty(Property property, const QVariant& entry, std::initializer_list<Property> alsoAnnounced = {});
    // storeEntry only when the entry differs from the stored one (absent counts as different).
    void storeChangedEntry(const QString& key, const QVariant& entry);
    bool entryDiffers(const QString& key, const QVariant& entry) const;
    void storeFrame(QRectF frame);
    // Changes one part of the scaled frame through setFrame, counting once more.
    void changeFrame(Property property, const std::function<void(QRectF&)>& change);
    QPointF shadowOffsetPoint() const;
    void storeShadowOffset(Property property, const QPointF& offset);
    // Stores `code` as the property's colour and remembers it in the preference.
    void storeRememberedColor(Property property, const QString& code, const QString& preferenceKey);
    // Replaces the alpha of `currentCode` and stores it as the property's colour;
    // remembers the opacity in the preference when one is named.
    void mergeOpacity(Property property, const QString& currentCode, double opacity, const QString& preferenceKey);
    // The flag when present, else whether any of the colour keys is present.
    bool isEnabled(const QString& flagKey, std::initializer_list<QString> colorKeys) const;
    // Stores the property's flag, except that disabling removes it when none of
    // `keysKeepingFlag` is present.
    void storeEnabled(Property property, bool enabled, std::initializer_list<QString> keysKeepingFlag);
    // The font name text is drawn in: the layer's when available, else the substitute.
    QString availableFontName() const;

    // Runs `block` on the rendering queue: at once when already there, else waiting.
    void performSyncOnRenderingQueue(const std::function<void()>& block) const;
    // Runs `block` later on the rendering queue with the object kept alive; logs and
    // does nothing for an object no shared pointer owns.
    void performAsyncOnRenderingQueue(const std::function<void(const Pointer& self)>& block);
    QImage storedThumbnail() const;
    // The picture cached under `key`, else composed with `options` and kept there.
    QImage cachedImage(const QString& key, const KOVA_RenderOptions& options) const;
    // Composes a preview on the rendering queue, reported by the two flags meanwhile.
    QImage renderPreview(bool unrotated);
    // Stores a finished thumbnail (or the end of a failed render) and announces it.
    void finishThumbnail(const QImage& thumbnail);
    static QString cacheKeyForName(const QString& name);

    // The queue and cache are made and filled while the template is only read.
    mutable std::mutex m_renderingMutex; // guards the rendering queue, cache and thumbnail state
    mutable std::shared_ptr<platform::DispatchQueue> m_renderingQueue;
    mutable QHash<QString, QImage> m_cacheDict;
    QImage m_thumbnail;
    bool m_isRenderingThumbnail = false;
    std::atomic<bool> m_isRenderingPreview{false};
    std::atomic<bool> m_isRenderingUnrotated{false};
    std::mutex m_outputMutex;

    mutable std::mutex m_linkMutex; // guards the links, selection, lastSaved, scale and repair
    std::weak_ptr<KOVA_Template> m_parent;
    std::weak_ptr<KOVA_XML_object> m_package;
    Pointer m_lastSaved;
    QList<qsizetype> m_selection;
    std::optional<double> m_scale;
    std::optional<platform::Error> m_repairedReason;
    std::atomic<qint64> m_changeCount{0};
};
