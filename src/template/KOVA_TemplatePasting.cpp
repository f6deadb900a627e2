// Layers from the pasteboard: pasted text becomes a text layer that takes over the
// text's colour, font, size and alignment; pasted image data is saved as a new file
// in the graphics folder and becomes a graphic layer that shows that file.
#include "template/KOVA_Template.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/foundation/ZORVAK_NSDateAdditions.h"
#include "core/image/ZORVAK_Image.h"
#include "core/image/ZORVAK_color.h"
#include "core/text/RtfReader.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/WallClock.h"
#include "platform/files/FileOperations.h"
#include "platform/files/UTType.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <cerrno>
#include <optional>
#include <utility>

namespace {

enum class TextFormat { plain, html, rtf };

// The types the text reader takes, richest first, with the format of each.
const QList<std::pair<QString, TextFormat>>& textTypes()
{
    static const QList<std::pair<QString, TextFormat>> types{{platform::kUTTypeRTF, TextFormat::rtf},
                                                             {platform::kUTTypeHTML, TextFormat::html},
                                                             {platform::kUTTypePlainText, TextFormat::plain},
                                                             {platform::kUTTypeText, TextFormat::plain}};
    return types;
}

QStringList textTypeIdentifiers()
{
    QStringList identifiers;
    for (const auto& [type, format] : textTypes())
        identifiers.append(type);
    return identifiers;
}

std::optional<TextFormat> textFormatForType(const QString& type)
{
    for (const auto& [textType, format] : textTypes()) {
        if (textType.compare(type, Qt::CaseInsensitive) == 0)
            return format;
    }
    return std::nullopt;
}

// The types of every format the image reader decodes.
const QStringList& imageTypes()
{
    static const QStringList types = [] {
        QStringList identifiers;
        for (const QByteArray& mimeType : QImageReader::supportedMimeTypes()) {
            const QString type = platform::UTType::typeForMIMEType(QString::fromLatin1(mimeType));
            if (!type.isEmpty() && !identifiers.contains(type, Qt::CaseInsensitive))
                identifiers.append(type);
        }
        return identifiers;
    }();
    return types;
}

// The types a pasteboard offers: a MIME format's type, any other format as it is.
QStringList offeredTypes(const QMimeData& pasteboard)
{
    QStringList types;
    for (const QString& format : pasteboard.formats()) {
        const QString type =
            format.contains(QLatin1Char('/')) ? platform::UTType::typeForMIMEType(format) : format;
        if (!type.isEmpty())
            types.append(type);
    }
    return types;
}

// Appends each of `candidates` that `offered` holds and `types` does not yet.
void appendOffered(QStringList& types, const QStringList& candidates, const QStringList& offered)
{
    for (const QString& candidate : candidates) {
        if (offered.contains(candidate, Qt::CaseInsensitive) && !types.contains(candidate, Qt::CaseInsensitive))
            types.append(candidate);
    }
}

// ---- Images ----

const QString PastedGraphicName = QStringLiteral("pastedGraphic");
const QString PastedGraphicDateFormat = QStringLiteral("yyyy-MM-dd_HH.mm.ss");
// The number of names tried: the plain one, then "-1" to "-998".
constexpr int PastedGraphicNameTries = 999;

// "<stem>.<extension>", with "-<try>" before the extension from the second try on.
QString pastedGraphicFileName(const QString& stem, const QString& extension, int attempt)
{
    const QString numbered = attempt == 0 ? stem : QStringLiteral("%1-%2").arg(stem).arg(attempt);
    return extension.isEmpty() ? numbered : numbered + QLatin1Char('.') + extension;
}

bool existsAt(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Saves `data` in `folder` under the first free name, never replacing a file and
// never showing a half-written one; the path written, or empty (logged). Names seen
// taken are passed over without writing, since every write syncs a whole copy; one
// taken meanwhile fails the write with EEXIST and is passed over too.
QString savePastedGraphic(const QString& folder, const QByteArray& data, const QString& extension)
{
    const QString stem = PastedGraphicName + QLatin1Char('_') +
                         ZORVAK_NSDateAdditions::stringWithUTSFormat(platform::WallClock::now(), PastedGraphicDateFormat);
    for (int attempt = 0; attempt < PastedGraphicNameTries; ++attempt) {
        const QString path = folder + QLatin1Char('/') + pastedGraphicFileName(stem, extension, attempt);
        if (existsAt(path))
            continue;
        platform::Error error;
        if (platform::FileOperations::writeFileAtomicallyNoReplace(path, data, &error))
            return path;
        if (error.code != EEXIST) {
            platform::Log::error(QStringLiteral("could not save the pasted graphic as %1: %2").arg(path, error.message));
            return {};
        }
    }
    platform::Log::error(QStringLiteral("could not save the pasted graphic in %1: all %2 names are taken")
                           .arg(folder)
                           .arg(PastedGraphicNameTries));
    return {};
}

void pasteImage(KOVA_Template& layer, const QVariant& contents, const QString& type)
{
    if (contents.typeId() != QMetaType::QByteArray)
        return;
    const QString folder = platform::UserDefaults::standardUserDefaults()->stringForKey(key_kovaFolderGraphics);
    if (folder.isEmpty()) {
        platform::Log::error(QStringLiteral("could not save the pasted graphic: no graphics folder is set"));
        return;
    }
    const QString path = savePastedGraphic(folder, contents.toByteArray(), platform::UTType::preferredExtension(type));
    if (path.isEmpty())
        return;
    layer.setGraphicPath(path);
    layer.setLayerType(KOVA_Template::layerTypeGraphic);
    layer.setFrame(QRectF(QPointF(0, 0), ZORVAK_Image::orientedSizeForImage(QVariant(path))));
}

// ---- Text ----

// Fills `document` with the contents decoded as `format`; data or a text.
void decodeText(const QVariant& contents, TextFormat format, QTextDocument& document)
{
    const bool isText = contents.typeId() == QMetaType::QString;
    if (!isText && contents.typeId() != QMetaType::QByteArray)
        return;
    switch (format) {
    case TextFormat::rtf:
        RtfReader::read(isText ? contents.toString().toUtf8() : contents.toByteArray(), document);
        break;
    case TextFormat::html:
        if (isText) {
            document.setHtml(contents.toString());
        } else {
            const QByteArray html = contents.toByteArray();
            document.setHtml(QStringDecoder::decoderForHtml(html).decode(html));
        }
        break;
    case TextFormat::plain:
        document.setPlainText(isText ? contents.toString() : QString::fromUtf8(contents.toByteArray()));
        break;
    }
}

// A size as a number's text: 12 gives "12", 12.5 gives "12.5".
QString sizeText(double size)
{
    return QString::number(size, 'g', 15);
}

std::optional<unsigned> alignmentCode(Qt::Alignment alignment)
{
    switch (alignment & (Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter | Qt::AlignJustify)) {
    case Qt::AlignLeft:
        return KOVA_Template::textAlignmentLeft;
    case Qt::AlignRight:
        return KOVA_Template::textAlignmentRight;
    case Qt::AlignHCenter:
        return KOVA_Template::textAlignmentCenter;
    case Qt::AlignJustify:
        return KOVA_Template::textAlignmentJustified;
    default:
        return std::nullopt;
    }
}

QString fontFamily(const QTextCharFormat& format)
{
    if (format.hasProperty(QTextFormat::FontFamilies))
        return format.fontFamilies().toStringList().value(0);
    return format.stringProperty(QTextFormat::FontFamily);
}

// Sizes in points; one point is one canvas pixel, so a size given in pixels counts alike.
std::optional<double> fontSize(const QTextCharFormat& format)
{
    if (format.hasProperty(QTextFormat::FontPointSize))
        return format.fontPointSize();
    if (format.hasProperty(QTextFormat::FontPixelSize))
        return format.intProperty(QTextFormat::FontPixelSize);
    return std::nullopt;
}

// Takes the colour, font, size and alignment of the document's first character.
void takeFirstCharacterAttributes(KOVA_Template& layer, QTextDocument& document)
{
    QTextCursor cursor(&document);
    cursor.setPosition(1);
    const QTextCharFormat character = cursor.charFormat();
    if (character.hasProperty(QTextFormat::ForegroundBrush) && character.foreground().style() != Qt::NoBrush)
        layer.setTextColorCode(ZORVAK_color::hexcodeForColor(character.foreground().color()));
    if (const QString family = fontFamily(character); !family.isEmpty())
        layer.setFontName(family);
    if (const std::optional<double> size = fontSize(character); size && *size > 0)
        layer.setFontSize(sizeText(*size));
    const QTextBlockFormat paragraph = cursor.blockFormat();
    if (!paragraph.hasProperty(QTextFormat::BlockAlignment))
        return;
    if (const std::optional<unsigned> code = alignmentCode(paragraph.alignment()))
        layer.setTextAlignment(*code);
}

// A paint device on which one point is one pixel, as on a template's canvas.
QImage pointSizedDevice()
{
    constexpr int dotsPerMeterAt72Dpi = 2835;
    QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    device.setDotsPerMeterX(dotsPerMeterAt72Dpi);
    device.setDotsPerMeterY(dotsPerMeterAt72Dpi);
    return device;
}

void pasteText(KOVA_Template& layer, const QVariant& contents, TextFormat format)
{
    QImage device = pointSizedDevice();
    QTextDocument document;
    document.setDocumentMargin(0);
    document.documentLayout()->setPaintDevice(&device);
    decodeText(contents, format, document);
    layer.setLayerType(KOVA_Template::layerTypeTextbox);
    if (!layer.takeRichText(document))
        return;
    // What the pasted text leaves open is measured in the font the layer is drawn in.
    if (const std::optional<TextAttributes> attributes = layer.attributes())
        document.setDefaultFont(attributes->font);
    layer.setFrame(QRectF(QPointF(0, 0), document.size()));
}

} // namespace

QStringList KOVA_Template::pasteboardReadableTypes()
{
    return {platform::kUTTypeText, platform::kUTTypeImage};
}

QStringList KOVA_Template::readableTypesForPasteboard(const QMimeData& pasteboard)
{
    const QStringList offered = offeredTypes(pasteboard);
    QStringList types;
    appendOffered(types, textTypeIdentifiers(), offered);
    appendOffered(types, imageTypes(), offered);
    for (const QString& type : offered) {
        if (pasteboardReadableTypes().contains(type, Qt::CaseInsensitive) && !types.contains(type, Qt::CaseInsensitive))
            types.append(type);
    }
    return types;
}

// The text reader decodes RTF from its bytes like every other format, so no type
// asks for another hand-over.
unsigned KOVA_Template::readingOptionsForType(const QString& type, const QMimeData& pasteboard)
{
    return pasteboardReadingAsData;
}

bool KOVA_Template::takeRichText(QTextDocument& document)
{
    const QString text = document.toPlainText();
    if (text.isEmpty())
        return false;
    setStringValue(text);
    takeFirstCharacterAttributes(*this, document);
    return true;
}

KOVA_Template::Pointer KOVA_Template::initWithPasteboardPropertyList(const QVariant& contents, const QString& ofType)
{
    Pointer layer = initForCopy();
    if (imageTypes().contains(ofType, Qt::CaseInsensitive))
        pasteImage(*layer, contents, ofType);
    else if (const std::optional<TextFormat> format = textFormatForType(ofType))
        pasteText(*layer, contents, *format);
    return layer;
}
