#pragma once

#include "platform/Error.h"
#include "platform/observation/Observable.h"
#include "platform/plist/Archivable.h"
#include "printing/raster/ZORVAK_PageImage.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QList>
#include <QSet>
#include <QMap>
#include <QSizeF>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace platform {
class DispatchGroup;
class KeyedUnarchiver;
} // namespace platform

class ZORVAK_ColorSpace;
class ZORVAK_PrintPagePreviews;
class ZORVAK_ImageFilter;
class ZORVAK_USBPrinter;

// One printed sheet for a dye-sublimation photo printer, handed to the print-centre program as
// a keyed archive. The base holds what every printer shares: the images, their colour-filter
// chains, colour management, the printer index and model, the destination label and a
// dictionary of properties (gravity, rotation, ideal media, paper name, reason, dates); the
// printer-specific pages add their media settings.
//
// A page is configured and archived by one step at a time; the properties dictionary, the
// printer index, the copy count and the printer are nevertheless guarded, so the print centre
// may read them from other threads.
class ZORVAK_PrintPage : public platform::Archivable,
                         public platform::Observable,
                         public std::enable_shared_from_this<ZORVAK_PrintPage> {
public:
    static inline const QString ClassName = QStringLiteral("ZORVAK_PrintPage");

    // The dictionary's keys.
    static inline const QString DateInitKey = QStringLiteral("dateInit");
    static inline const QString DatePrintStartKey = QStringLiteral("datePrintStart");
    static inline const QString DatePrintCompleteKey = QStringLiteral("datePrintComplete");
    static inline const QString ReasonKey = QStringLiteral("reason");
    static inline const QString GravityKey = QStringLiteral("gravity");
    static inline const QString AutoRotateKey = QStringLiteral("autoRotate");
    static inline const QString ApplyImageFiltersKey = QStringLiteral("applyImageFilters");
    static inline const QString RequiresIdealMediaKey = QStringLiteral("requiresIdealMedia");
    static inline const QString PaperNameKey = QStringLiteral("paperName");

    // The key of the old tickets' printer index, the one key of the factory's dictionary.
    static inline const QString PrinterKey = QStringLiteral("printer");

    // Each chain is a list of filter objects (archivables of the "CIFilter" class chain).
    using FilterChains = QVariantList;
    // For the print centre: what the printer reports while it prints, and how printing ended.
    using StatusBlock = std::function<void(const QString& status)>;
    using ResultBlock = std::function<void(bool printed, const platform::Error& error)>;

    // The plain initialiser: colour management 1, auto-rotation on and "dateInit" now.
    ZORVAK_PrintPage();
    ~ZORVAK_PrintPage() override;
    ZORVAK_PrintPage(const ZORVAK_PrintPage&) = delete;
    ZORVAK_PrintPage& operator=(const ZORVAK_PrintPage&) = delete;

    // A page for the printer `model` (may be null): a Mitsubishi page for names that begin with
    // "mitsu" in any case (index 57 when the name holds "90", else 56 when it holds "80", else
    // 47), otherwise a DNP page of index 0 carrying the name as its required model. Null when
    // the page class cannot be found or refuses the printer dictionary.
    static std::shared_ptr<ZORVAK_PrintPage> printPageForModel(const QString& model);
    // A page of the class the ticket's "printer" index chooses, imported from the ticket and
    // given the index. `ticket` is a dictionary or the file URL of a property list; null when
    // the class cannot be found or the import refuses.
    static std::shared_ptr<ZORVAK_PrintPage> printPageForOldKova(const QVariant& ticket);
    // A base page imported from the ticket; the base reads nothing of a dictionary. From a
    // ticket file it takes the picture next to it (same path, JPEG extension; none there gives
    // null), the file's date as "dateInit", the colour adjustments as one filter chain, the
    // label and the copy count, and the page then requires its ideal media.
    static std::shared_ptr<ZORVAK_PrintPage> initWithOLDKOVA(const QVariant& ticket);

    // The filters of an old ticket's colour adjustments, by filter name.
    using FilterCollection = QMap<QString, std::shared_ptr<ZORVAK_ImageFilter>>;
    // One chain of the filters the adjustments (name, with or without "colorAdjust", to a
    // number or numeric text) make, in the order of the adjustment rows; empty when none apply.
    static FilterChains filtersForOLDKOVAColorAdjustments(const QVariantMap& adjustments);
    // The collection's filter of that name, made with its defaults when it is missing.
    static std::shared_ptr<ZORVAK_ImageFilter> filterNamed(const QString& name, FilterCollection& collection);
    // Sets the input "input" + `key` of the collection's filter `filterName` to `value` when the
    // value is valid and `key` is one of `possibleKeys`; a text translation renames the key, a
    // dictionary one gives the "key" and the "value" to use. Always false.
    static bool setFilterForKey(const QString& key, const QVariant& value, FilterCollection& collection, const QString& filterName,
                                const QStringList& possibleKeys, const QVariantMap& translation = {});

    // A new page of the receiver's class made with the plain initialiser, sharing the images,
    // filters and profile, with a copy of the properties, the colour management and the printer.
    virtual std::shared_ptr<ZORVAK_PrintPage> copyWithZone() const;

    // What the job workflow sends after the factory. The base stores the paper name.
    virtual void configureNamedPaper(const QString& paperName);

    QList<QUrl> fileURLs() const { return m_fileURLs; }
    void setFileURLs(const QList<QUrl>& urls) { m_fileURLs = urls; }
    QList<QUrl> inputImages() const { return m_inputImages; }
    void setInputImages(const QList<QUrl>& urls) { m_inputImages = urls; imagePreviewInputsChanged(); }
    FilterChains imageFilters() const { return m_imageFilters; }
    void setImageFilters(const FilterChains& chains) { m_imageFilters = chains; imagePreviewInputsChanged(); }
    QUrl printerProfileICC() const;
    void setPrinterProfileICC(const QUrl& url);

    // Dictionary-held: setting a null value removes the key, and a missing key reads as the
    // default (resize-aspect-fill, auto-rotation on, filters applied when there are any, any
    // media).
    QString imageGravity() const;
    void setImageGravity(const QString& gravity);
    bool autoRotate() const;
    void setAutoRotate(bool autoRotate);
    bool applyImageFilters() const;
    void setApplyImageFilters(bool apply);
    bool requiresIdealMedia() const;
    void setRequiresIdealMedia(bool required);
    QDateTime dateInit() const;
    QDateTime datePrintStart() const;
    QDateTime datePrintComplete() const;
    virtual QString reason() const;
    void setReason(const QString& reason);
    // A copy of the dictionary.
    QVariantMap properties() const;

    QString requiredModel() const { return m_requiredModel; }
    void setRequiredModel(const QString& model) { m_requiredModel = model; }
    QString destinationLabel() const { return m_destinationLabel; }
    void setDestinationLabel(const QString& label) { m_destinationLabel = label; }
    QString destinationSerialNumber() const { return m_destinationSerialNumber; }
    void setDestinationSerialNumber(const QString& number) { m_destinationSerialNumber = number; }
    quint64 printerModel() const { return m_printerModel; }
    void setPrinterModel(quint64 index) { m_printerModel = index; }
    qint64 copies() const { return m_copies; }
    void setCopies(qint64 copies) { m_copies = copies; }
    qint32 colorManagement() const;
    void setColorManagement(qint32 mode);

    virtual QSizeF outputResolution() const { return m_outputResolution; }
    void setOutputResolution(const QSizeF& resolution) { m_outputResolution = resolution; }
    virtual QSizeF outputSize() const { return m_outputSize; }
    void setOutputSize(const QSizeF& size) { m_outputSize = size; }
    // `outputSize` truncated to whole pixels; negative or undefined sizes give 0.
    virtual quint64 pixelsWide() const;
    virtual quint64 pixelsHigh() const;
    bool isDuplex() const { return m_isDuplex; }
    void setIsDuplex(bool duplex) { m_isDuplex = duplex; }
    qint64 bytesPerRow() const { return 0; }
    virtual QString mediaName() const { return {}; }

    // Carried for the print centre; nothing here sets or reads them.
    QVariant printerQueuePosition() const { return m_printerQueuePosition; }
    void setPrinterQueuePosition(const QVariant& position) { m_printerQueuePosition = position; }
    QString status() const { return m_status; }
    void setStatus(const QString& status) { m_status = status; }
    bool isPrinting() const { return m_isPrinting; }
    void setIsPrinting(bool printing) { m_isPrinting = printing; }
    QColor colorStatus() const { return m_colorStatus; }
    void setColorStatus(const QColor& color) { m_colorStatus = color; }
    qint64 printerUSBProductID() const { return m_printerUSBProductID; }
    void setPrinterUSBProductID(qint64 productID) { m_printerUSBProductID = productID; }
    StatusBlock statusBlock() const { return m_statusBlock; }
    void setStatusBlock(StatusBlock block) { m_statusBlock = std::move(block); }
    ResultBlock resultBlock() const { return m_resultBlock; }
    void setResultBlock(ResultBlock block) { m_resultBlock = std::move(block); }

    std::shared_ptr<ZORVAK_USBPrinter> printer() const;
    void setPrinter(const std::shared_ptr<ZORVAK_USBPrinter>& printer);
    // Asks the printer to print this page; nothing happens without one.
    void print();
    // Made on first use; nothing here uses it.
    std::shared_ptr<platform::DispatchGroup> groupPrint();
    // Writes its own name to the log; the print panel shows the page.
    void showPrintPanel(const QVariant& sender);

    // "<printer> - <first image's file name>".
    virtual QString description() const;

    // How a raster's alpha is stored, with the values the print centre knows.
    enum class AlphaInfo { None = 0, PremultipliedLast = 1, PremultipliedFirst = 2, Last = 3, First = 4, NoneSkipLast = 5, NoneSkipFirst = 6, Only = 7 };
    using RasterDataBlock = std::function<void(size_t width, size_t height, size_t bytesPerRow, size_t bitsPerComponent, size_t numberOfComponents,
                                               AlphaInfo alphaInfo, int reserved, const QByteArray& pixels)>;
    // The page as the printer takes it: its picture pre-processed with no options and rendered
    // in the output colour space; null when there is no picture.
    QImage imageRaster() const;
    // Hands the raster's geometry and a copy of its pixels to `block`, once; nothing happens
    // without a block or a raster.
    void rasterData(const RasterDataBlock& block) const;

    // The option keys of imagePreProcessWithOptions: a preview (boolean, off), white where the
    // picture leaves the page bare (boolean, on), the picture's file URL (the first input
    // image), one filter chain (the first of imageFilters), the gravity (the page's), the
    // output size and a preview size (size texts "{w, h}"; the page's size, no preview).
    static inline const QString kImageIsPreview = QStringLiteral("isPreviewImage");
    static inline const QString kImageDrawsCanvas = QStringLiteral("DrawsCanvas");
    static inline const QString kImageURLImage = QStringLiteral("urlImage");
    static inline const QString kImageImageFilters = QStringLiteral("imageFilters");
    static inline const QString kImageGravity = QStringLiteral("imageGravity");
    static inline const QString kImageOutputSize = QStringLiteral("outputSize");
    static inline const QString kImagePreviewSize = QStringLiteral("previewSize");
    // The page's picture loaded, turned, scaled, cropped and filtered for the printer; a null
    // picture without an image or when it cannot be read.
    virtual ZORVAK_PageImage imagePreProcessWithOptions(const QVariantMap& options) const;
    // The colour space the page is rendered in: the printer profile when colour management is
    // 1 or 2 and the profile is a grey or RGB output profile, else sRGB. A profile of another
    // kind is logged and dropped, and colour management falls back to 1.
    virtual std::shared_ptr<const ZORVAK_ColorSpace> outputColorSpace() const;
    // The pixels pictures are worked in and rendered to (8-bit here).
    virtual QImage::Format rasterContextFormatWorking() const;
    virtual QImage::Format rasterContextFormatOutput() const;
    // The raster as sample buffers. In: "bitsPerComponent" (16, else 8), "planar" and "cmy"
    // (booleans). The dictionary is replaced by the raster's geometry ("width", "height",
    // "numberOfComponents", "bytesPerRow", "bitsPerComponent", "alphaInfo", "colorSpace": the
    // profile's ICC data) or by an "error" entry. The result holds a QByteArray of packed
    // samples (red, green, blue, or yellow, magenta, cyan as inverted blue, green, red), or,
    // planar, a QByteArrayList of the three planes in that order; null when there is no raster.
    QVariant imageRasterWithProperties(QVariantMap* properties) const;
    QByteArray rgb_8_chunky(QVariantMap* properties) const;
    QByteArrayList rgb_8_planar(QVariantMap* properties) const;
    QByteArray cmy_8_chunky(QVariantMap* properties) const;
    QByteArrayList cmy_8_planar(QVariantMap* properties) const;
    QByteArray rgb_16_chunky(QVariantMap* properties) const;
    QByteArray cmy_16_chunky(QVariantMap* properties) const;
    QByteArrayList rgb_16_planar(QVariantMap* properties) const;
    QByteArrayList cmy_16_planar(QVariantMap* properties) const;

    // Images for display, built on a global queue and announced on the main queue under their
    // keys. Reading the preview starts a build when what it shows changed since the last one;
    // reading the thumbnail, when there is none and no build or failed attempt stands. Pages
    // that no shared pointer owns get neither.
    static inline const QString ImagePreviewKey = QStringLiteral("imagePreview");
    static inline const QString ImageThumbnailKey = QStringLiteral("imageThumbnail");
    static inline const QString DidUpdateImagePreviewKey = QStringLiteral("didUpdateImagePreview");
    static inline const QString DidUpdateImageThumbnailKey = QStringLiteral("didUpdateImageThumbnail");
    QImage imagePreview() const;
    QImage imageThumbnail() const;
    bool didUpdateImagePreview() const;
    bool didUpdateImageThumbnail() const;
    // The preference "thumbnailSizeCustom"; 64 by 64 without it.
    static QSizeF thumbnailSize();
    // The keys whose changes are announced as changes of the preview too.
    static QSet<QString> keyPathsForValuesAffectingImagePreview();
    // The display images and their flags, read as the accessors read them.
    QVariant valueForKey(const QString& key) const override;

    QStringList archiveClassHierarchy() const override;
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // Reads the keys encodeWithCoder wrote into a page without the plain initialiser's
    // defaults; null (the archive stopped with an error) when a value is of another class.
    static std::shared_ptr<platform::Archivable> initWithCoder(platform::KeyedUnarchiver& coder);

protected:
    // The bare object the decoding starts from: every field empty or 0.
    struct Uninitialised {};
    explicit ZORVAK_PrintPage(Uninitialised);

    // Imports the ticket into this page, made with the plain initialiser; false when the page
    // cannot be made from it. The printer pages read their own keys after the base's.
    virtual bool importOLDKOVA(const QVariant& ticket);
    // The printer pages' start of an import: the base's import, then the ticket as a dictionary
    // for their own settings; none when either refuses.
    std::optional<QVariantMap> importedTicket(const QVariant& ticket);
    // The ticket as a dictionary: itself, or the property list at its file URL; none otherwise.
    static std::optional<QVariantMap> ticketDictionary(const QVariant& ticket);
    // Imports the ticket into `page`: the page, or null (logged) when the import refuses.
    template <class Page>
    static std::shared_ptr<Page> imported(std::shared_ptr<Page> page, const QVariant& ticket);
    static void logRefusedTicket(const QString& className, const QVariant& ticket);

    // A new page of this page's class, made with the plain initialiser.
    virtual std::shared_ptr<ZORVAK_PrintPage> newPage() const;
    // Reads the base's keys; the printer pages read theirs after it.
    void decodeBaseKeys(platform::KeyedUnarchiver& coder);

    // The page's picture pre-processed with `options` and rendered in the output colour space:
    // 8-bit RGBX (alpha skipped last) unless a printer asks for more; null when pre-processing
    // gives nothing.
    virtual QImage renderedImage(const QVariantMap& options) const;

    QVariant propertyValue(const QString& key) const;
    // An invalid or null value removes the key.
    void setPropertyValue(const QString& key, const QVariant& value);
    void removePropertyValue(const QString& key);

    // The setters of the keys the preview shows call it: the preview is due to be built again.
    void imagePreviewInputsChanged();

private:
    // The raster in the sample layout the properties ask for; see imageRasterWithProperties.
    QVariant rasterWithLayout(QVariantMap* properties, int bitsPerComponent, bool planar, bool cmy) const;

    // What a ticket file gives the base, its picture being there.
    void importTicketFile(const QUrl& ticketURL, const QUrl& imageURL, const QVariantMap& ticket);

    friend class ZORVAK_PrintPagePreviews;
    struct PreviewsDeleter {
        void operator()(ZORVAK_PrintPagePreviews* previews) const;
    };
    using Previews = std::unique_ptr<ZORVAK_PrintPagePreviews, PreviewsDeleter>;
    static Previews makePreviews(ZORVAK_PrintPage& page);
    const Previews m_previews = makePreviews(*this);

    QList<QUrl> m_fileURLs;
    QList<QUrl> m_inputImages;
    FilterChains m_imageFilters;
    mutable QUrl m_printerProfileICC; // with m_colorManagement, guarded: a refused profile is dropped while rendering
    QString m_requiredModel;
    QString m_destinationLabel;
    QString m_destinationSerialNumber;
    std::atomic<quint64> m_printerModel = 0;
    std::atomic<qint64> m_copies = 0;
    mutable qint32 m_colorManagement = 0;
    QSizeF m_outputResolution{0, 0};
    QSizeF m_outputSize{0, 0};
    bool m_isDuplex = false;
    QVariant m_printerQueuePosition;
    QString m_status;
    bool m_isPrinting = false;
    QColor m_colorStatus;
    qint64 m_printerUSBProductID = 0;
    StatusBlock m_statusBlock;
    ResultBlock m_resultBlock;

    mutable std::mutex m_mutex; // guards the dictionary, the printer, the group and the profile
    QVariantMap m_properties;
    std::weak_ptr<ZORVAK_USBPrinter> m_printer;
    std::shared_ptr<platform::DispatchGroup> m_groupPrint;
};

template <class Page>
std::shared_ptr<Page> ZORVAK_PrintPage::imported(std::shared_ptr<Page> page, const QVariant& ticket)
{
    if (!static_cast<ZORVAK_PrintPage&>(*page).importOLDKOVA(ticket)) {
        logRefusedTicket(page->archiveClassName(), ticket);
        return nullptr;
    }
    return page;
}
