#include "template/KOVA_ProductImageComposer.h"

#include "core/foundation/ZORVAK_SystemInfo.h"
#include "core/image/BitmapContext.h"
#include "core/image/ZORVAK_Image.h"
#include "core/image/ZORVAK_ImageBitmaps.h"
#include "platform/Log.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/files/FolderEntries.h"
#include "template/KOVA_TemplatePackage.h"
#include "template/KOVA_XML_Keys.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cmath>
#include <deque>

namespace {

const QString CanvasBackgroundColorCode = QStringLiteral("FFFFFF");
const QString PlaceholderBackgroundColorCode = QStringLiteral("DDDDDD99");
constexpr double PlaceholderAlpha = 0.75;
const QString TemplatesFolderMarker = QStringLiteral("Templates/");

// A canvas side in whole pixels: truncated toward zero, except that a value within a
// millionth of a pixel below a whole number (as scaled frames often are: 47 x 192/47
// is 191.99999999999997) counts as that number.
double wholePixels(double side)
{
    return std::floor(side + 1e-6);
}

// The picture a layer names: its file path or URL, or an image it holds in memory;
// an invalid QVariant when it names none.
QVariant graphicObject(const KOVA_Template& layer)
{
    const QVariant path = layer.value(KOVA_XML_Key_filepath);
    return path.isValid() ? path : layer.value(KOVA_XML_Key_filename);
}

QString localPath(const QVariant& location)
{
    if (location.typeId() == QMetaType::QUrl)
        return location.toUrl().isLocalFile() ? location.toUrl().toLocalFile() : QString();
    return location.typeId() == QMetaType::QString ? location.toString() : QString();
}

// A path that names a file only relative to the process's working folder: such a path
// (a template's own, or a job's) is looked up in the search folders alone.
bool isRelativePath(const QVariant& location)
{
    const QString path = localPath(location);
    return !path.isEmpty() && QDir::isRelativePath(path);
}

bool isPDFFile(const QString& path)
{
    platform::BoundedFileRead file(path, ZORVAK_ImageBitmaps::maximumPDFFileSize);
    return file.readAt(0, 5) == QByteArray("%PDF-");
}

std::shared_ptr<ZORVAK_Image> wrapped(const QImage& image)
{
    return image.isNull() ? nullptr : std::make_shared<ZORVAK_Image>(image, std::nullopt);
}

// The placeholder resource as a file the PDF reader can open, written once per process.
QString placeholderPath()
{
    static const std::unique_ptr<QTemporaryFile> file(QTemporaryFile::createNativeFile(
        QStringLiteral(":/%1.pdf").arg(KOVA_ProductImageComposer::placeholderResourceName)));
    if (!file)
        platform::Log::error(QStringLiteral("the placeholder picture %1 is missing").arg(KOVA_ProductImageComposer::placeholderResourceName));
    return file ? file->fileName() : QString();
}

} // namespace

const QStringList& KOVA_ProductImageComposer::searchFolders()
{
    static const QStringList folders{QStringLiteral("Images"), QStringLiteral("Graphics"), QStringLiteral("Templates")};
    return folders;
}

KOVA_ProductImageComposer::KOVA_ProductImageComposer(const KOVA_Template& productTemplate,
                                                     const KOVA_RenderOptions& options)
    : m_template(productTemplate)
    , m_options(options)
    , m_frame(productTemplate.frameScaledBy(options.scaleFactor()))
{
}

QRectF KOVA_ProductImageComposer::canvasRect(const QRectF& frame, double height)
{
    return {frame.x(), height - frame.height() - frame.y(), frame.width(), frame.height()};
}

void KOVA_ProductImageComposer::drawPicture(ZORVAK_Image& picture, const std::shared_ptr<BitmapContext>& canvas,
                                            double height, const QRectF& frame, const KOVA_DrawingOptions& options)
{
    placePicture(picture, canvas, height, frame, options);
    picture.draw();
}

void KOVA_ProductImageComposer::placePicture(ZORVAK_Image& picture, const std::shared_ptr<BitmapContext>& canvas,
                                             double height, const QRectF& frame, const KOVA_DrawingOptions& options)
{
    picture.setDrawingContext(canvas);
    picture.setDestinationRect(canvasRect(frame, height));
    options.applyTo(picture);
}

QImage KOVA_ProductImageComposer::createProductImage()
{
    m_refusedPicture = false;
    m_canvas = createCanvas();
    if (!m_canvas)
        return {};
    fillBackground();
    const KOVA_Template::List layers = m_template.layers();
    if (layers.isEmpty()) {
        if (const auto picture = placedPicture(m_template, true, preparedPicture(m_template, true)))
            picture->draw();
    }
    drawLayers(layers, [this](const KOVA_Template& layer) { return preparedPicture(layer, false); });
    const QImage composed = takeComposedImage();
    return m_refusedPicture ? QImage() : composed;
}

QImage KOVA_ProductImageComposer::composeLayers(const LayerPictures& pictures)
{
    m_canvas = createCanvas();
    if (!m_canvas)
        return {};
    drawLayers(m_template.layers(), pictures);
    return takeComposedImage();
}

QImage KOVA_ProductImageComposer::takeComposedImage()
{
    const QImage composed = m_canvas->createImage();
    m_canvas.reset();
    return composed;
}

// Sizes read from files are untrusted: a canvas beyond the limits is refused before
// anything is allocated.
std::shared_ptr<BitmapContext> KOVA_ProductImageComposer::createCanvas() const
{
    const double width = wholePixels(m_frame.width());
    const double height = wholePixels(m_frame.height());
    if (!(width >= 1 && height >= 1))
        return nullptr;
    if (width > BitmapContext::maxSide || height > BitmapContext::maxSide || width * height > double(BitmapContext::maxPixels)) {
        platform::Log::error(QStringLiteral("template %1 is too large to render (%2 x %3 pixels)")
                               .arg(m_template.name()).arg(width).arg(height));
        return nullptr;
    }
    platform::Error error;
    auto canvas = BitmapContext::create(QSize(int(width), int(height)), &error);
    if (!canvas)
        platform::Log::error(QStringLiteral("template %1 cannot be rendered: %2").arg(m_template.name(), error.message));
    return canvas;
}

// A container's frame lies in its parent's geometry; its own canvas starts at (0, 0).
void KOVA_ProductImageComposer::fillBackground()
{
    if (!m_template.hasBackground())
        return;
    m_canvas->painter()->fillRect(QRectF(QPointF(0, 0), m_frame.size()),
                                  ZORVAK_Image::createColorWithHexcode(CanvasBackgroundColorCode));
}

// Layer pictures are decoded ahead of drawing on the global queue, so that the
// photos of a template decode in parallel, and drawn in z order as they are
// ready. At most one picture per processor is open at a time, which bounds the
// memory the decoded pictures take. Decoding never waits for anything, so the
// waits here always end.
void KOVA_ProductImageComposer::drawLayers(const KOVA_Template::List& layers, const LayerPictures& pictures)
{
    static const qsizetype window = ZORVAK_SystemInfo().cpuCountLogical();
    std::deque<DecodingPicture> ahead;
    qsizetype next = 0;
    while (next < layers.size() || !ahead.empty()) {
        for (; next < layers.size() && qsizetype(ahead.size()) < window; ++next) {
            if (layers.at(next))
                ahead.push_back(decodingAhead(*layers.at(next), pictures));
        }
        if (ahead.empty())
            continue;
        const DecodingPicture current = ahead.front();
        ahead.pop_front();
        if (current.decoding)
            current.decoding->wait();
        if (current.picture)
            current.picture->draw();
    }
}

KOVA_ProductImageComposer::DecodingPicture KOVA_ProductImageComposer::decodingAhead(const KOVA_Template& layer,
                                                                                   const LayerPictures& pictures) const
{
    DecodingPicture ahead{placedPicture(layer, false, pictures(layer)), nullptr};
    const unsigned type = layer.layerType();
    if (ahead.picture && (type == KOVA_Template::layerTypeImage || type == KOVA_Template::layerTypeGraphic)) {
        ahead.decoding = platform::DispatchGroup::create();
        ahead.decoding->async(platform::DispatchQueue::global(platform::QoS::UserInitiated),
                              [picture = ahead.picture] { picture->decodeForDrawing(); });
    }
    return ahead;
}

std::shared_ptr<ZORVAK_Image> KOVA_ProductImageComposer::placedPicture(const KOVA_Template& layer, bool isTemplate,
                                                                       const LayerPicture& layerPicture) const
{
    if (!layerPicture.picture)
        return nullptr;
    const QRectF frame = layer.frameScaledBy(m_options.scaleFactor());
    const QPointF origin = isTemplate ? QPointF(0, 0) : frame.topLeft();
    placePicture(*layerPicture.picture, m_canvas, m_frame.height(), QRectF(origin, frame.size()), layerPicture.options);
    return layerPicture.picture;
}

// The layer's picture with the layer's crop and turn, and the layer's options.
KOVA_ProductImageComposer::LayerPicture KOVA_ProductImageComposer::preparedPicture(const KOVA_Template& layer,
                                                                                   bool isTemplate) const
{
    const QSizeF size = layer.frameScaledBy(m_options.scaleFactor()).size();
    const auto picture = pictureForLayer(layer, isTemplate, size);
    if (!picture)
        return {};
    const unsigned type = layer.layerType();
    if (type == KOVA_Template::layerTypeImage && layer.autorotate())
        autorotate(*picture, size);
    if (type == KOVA_Template::layerTypeImage || type == KOVA_Template::layerTypeGraphic)
        applyCrop(*picture, layer);
    return {picture, layerOptions(layer)};
}

std::shared_ptr<ZORVAK_Image> KOVA_ProductImageComposer::pictureForLayer(const KOVA_Template& layer, bool isTemplate,
                                                                         const QSizeF& size) const
{
    switch (layer.layerType()) {
    case KOVA_Template::layerTypeContainer:
        return containerPicture(layer, isTemplate);
    case KOVA_Template::layerTypeImage:
        return filePicture(layer, size);
    case KOVA_Template::layerTypeGraphic:
        return graphicPicture(layer, size);
    case KOVA_Template::layerTypeTextbox:
    case KOVA_Template::layerTypeStamp:
        return textPicture(layer);
    default:
        return nullptr;
    }
}

// Kept in the container's cache for each preview mode and scale it is drawn in.
std::shared_ptr<ZORVAK_Image> KOVA_ProductImageComposer::containerPicture(const KOVA_Template& layer,
                                                                          bool isTemplate) const
{
    if (isTemplate)
        return nullptr;
    return wrapped(layer.image(KOVA_RenderOptions{.preview = m_options.preview, .scale = m_options.scale}));
}

std::shared_ptr<ZORVAK_Image> KOVA_ProductImageComposer::graphicPicture(const KOVA_Template& layer, const QSizeF& size) const
{
    const QVariant object = graphicObject(layer);
    if (!object.isValid())
        return nullptr;
    if (m_options.preview && !isRelativePath(object)) {
        if (auto preview = ZORVAK_Image::previewImageWithObject(object))
            return preview;
    }
    return filePicture(layer, size);
}

std::shared_ptr<ZORVAK_Image> KOVA_ProductImageComposer::textPicture(const KOVA_Template& layer) const
{
    std::optional<QString> text;
    if (layer.layerType() == KOVA_Template::layerTypeTextbox && !layer.stringValue().isNull())
        text = layer.stringValue();
    else
        text = layer.stampValue();
    if (!text)
        return nullptr;
    return ZORVAK_Image::imageWithDrawingString(AttributedString(*text, TextAttributes()),
                                                layer.drawingAttributesScaledBy(m_options.scaleFactor()));
}

std::shared_ptr<ZORVAK_Image> KOVA_ProductImageComposer::filePicture(const KOVA_Template& layer, const QSizeF& size) const
{
    if (auto picture = loadPicture(graphicObject(layer), layer, size))
        return picture;
    if (auto picture = searchedPicture(layer, size))
        return picture;
    if (layer.layerType() != KOVA_Template::layerTypeImage)
        return nullptr;
    if (m_options.preview)
        return placeholderPicture(size);
    const QString jobImage = m_template.filepathCustomImage();
    return jobImage.isEmpty() ? nullptr : loadPicture(jobImage, layer, size);
}

std::shared_ptr<ZORVAK_Image> KOVA_ProductImageComposer::searchedPicture(const KOVA_Template& layer, const QSizeF& size) const
{
    const QString path = layer.graphicPath();
    if (path.isEmpty() || m_template.documentURL().isEmpty())
        return nullptr;
    for (const QString& location : searchLocations(path)) {
        if (leadsOutOfJob(location)) {
            platform::Log::error(QStringLiteral("refused the picture %1 of layer %2: it leads out of the job folder %3")
                                     .arg(location, layer.name(), jobFolder()));
            m_refusedPicture = true;
            return nullptr;
        }
        if (auto picture = loadPicture(location, layer, size))
            return picture;
    }
    return nullptr;
}

QString KOVA_ProductImageComposer::jobFolder() const
{
    const auto package = std::dynamic_pointer_cast<KOVA_TemplatePackage>(m_template.package());
    const QUrl jobContainer = package ? package->urlJobContainer() : QUrl();
    return jobContainer.isLocalFile() ? QDir::cleanPath(jobContainer.toLocalFile()) : QString();
}

// An entry of the job that a link (the entry itself or a folder on its way) takes out of
// the job: a ticket must not have a picture from elsewhere on the disk printed.
bool KOVA_ProductImageComposer::leadsOutOfJob(const QString& location) const
{
    const QString job = jobFolder();
    return !job.isEmpty() && location.startsWith(job + QLatin1Char('/'))
        && platform::FolderEntries::pathStayingInside(location, job).isEmpty();
}

// For each search folder F, with R = F/path: first in the job container (or the folder
// holding the template file), then below the part of the template's path before
// "Templates/" (the whole path when it has none). Inside a job container R is looked up
// without regard to case, as every entry of a bundle is.
QStringList KOVA_ProductImageComposer::searchLocations(const QString& graphicPath) const
{
    const QString templatePath = m_template.documentURL().toLocalFile();
    const qsizetype marker = templatePath.indexOf(TemplatesFolderMarker);
    const QString prefix = marker < 0 ? templatePath : templatePath.left(marker);
    const QString job = jobFolder();
    const QString base = job.isEmpty() ? QFileInfo(templatePath).path() : job;
    QStringList locations;
    // A path that climbs out of the folder it is looked for in is not looked for there:
    // a ticket must not have a picture from elsewhere on the disk printed.
    const auto appendInside = [&locations](const QString& root, const QString& path) {
        const QString cleaned = QDir::cleanPath(path);
        if (!root.isEmpty() && cleaned.startsWith(QDir::cleanPath(root) + QLatin1Char('/')))
            locations.append(cleaned);
    };
    for (const QString& folder : searchFolders()) {
        const QString relative = folder + QLatin1Char('/') + graphicPath;
        appendInside(base, job.isEmpty() ? base + QLatin1Char('/') + relative
                                         : platform::FolderEntries::pathInside(base, relative));
        appendInside(prefix, prefix + QLatin1Char('/') + relative);
    }
    return locations;
}

std::shared_ptr<ZORVAK_Image> KOVA_ProductImageComposer::loadPicture(const QVariant& location, const KOVA_Template& layer,
                                                                     const QSizeF& size)
{
    if (!location.isValid() || isRelativePath(location))
        return nullptr;
    if (auto picture = ZORVAK_Image::imageWithObject(location))
        return picture;
    const QString path = localPath(location);
    if (layer.layerType() == KOVA_Template::layerTypeGraphic && isPDFFile(path))
        return wrapped(ZORVAK_ImageBitmaps::imageWithPDFObject(path, size));
    // Places searched in vain are not worth a line; a file there that is no picture is.
    if (QFileInfo(path).isFile())
        platform::Log::error(QStringLiteral("cannot read the picture %1 of layer %2").arg(path, layer.name()));
    return nullptr;
}

std::shared_ptr<ZORVAK_Image> KOVA_ProductImageComposer::placeholderPicture(const QSizeF& size)
{
    const QString path = placeholderPath();
    if (path.isEmpty())
        return nullptr;
    return wrapped(ZORVAK_ImageBitmaps::imageWithPDFObject(path, size, PlaceholderAlpha, PlaceholderBackgroundColorCode));
}

// Upright and upside-down pictures are turned a quarter clockwise, pictures stored
// turned a quarter are drawn as stored; mirrored ones are left alone. A square layer
// counts as not wider than high.
void KOVA_ProductImageComposer::autorotate(ZORVAK_Image& picture, const QSizeF& layerSize)
{
    const QSizeF pictureSize = picture.orientedSize();
    const bool pictureIsWide = pictureSize.width() > pictureSize.height();
    const bool layerIsWide = layerSize.width() > layerSize.height();
    if (pictureIsWide == layerIsWide)
        return;
    switch (picture.orientation()) {
    case 1:
    case 3:
        picture.setOrientationForced(6);
        break;
    case 6:
    case 8:
        picture.setOrientationForced(1);
        break;
    default:
        break;
    }
}

// A normalised crop rectangle counts its rows in fractions of the picture's height.
void KOVA_ProductImageComposer::applyCrop(ZORVAK_Image& picture, const KOVA_Template& layer, CropRows rows)
{
    QRectF crop = layer.unflippedCropRect();
    if (!layer.hasCropRect() || crop.isEmpty())
        return;
    if (rows == CropRows::FromBottom)
        crop = canvasRect(crop, layer.isNormalizedCropRect() ? 1.0 : picture.size().height());
    picture.setCropRect(crop);
    picture.setIsNormalizedCropRect(layer.isNormalizedCropRect());
}

KOVA_DrawingOptions KOVA_ProductImageComposer::layerOptions(const KOVA_Template& layer) const
{
    KOVA_DrawingOptions options = KOVA_DrawingOptions::ofLayer(layer, layer.borderWidthScaledBy(m_options.scaleFactor()));
    if (m_options.unrotated)
        options.rotation.reset();
    return options;
}
