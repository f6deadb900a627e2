#include "core/codes/ZORVAK_2dCodeGenerator.h"

#include "core/codes/ZORVAK_AztecCodeGenerator.h"
#include "core/codes/ZORVAK_Code128Generator.h"
#include "core/codes/ZORVAK_PDF417CodeGenerator.h"
#include "core/codes/ZORVAK_QRCodeGenerator.h"
#include "core/codes/ZintSymbol.h"
#include "core/image/ZORVAK_Image.h"
#include "platform/Log.h"
#include "platform/text/GeometryText.h"

#include <QColorSpace>
#include <QPainter>

#include <zint.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double codeOutputScale = 16.0;
constexpr double positionMargin = 10.0;
constexpr float code128HeightModules = 32.0f;
// Code 128 needs a quiet zone of 10 modules on each side to scan reliably.
constexpr int defaultCode128QuietSpace = 10;

enum CodeType { aztecType = 0, qrType = 1, code128Type = 2, pdf417Type = 3 };

struct Symbology {
    int zintSymbology;
    const char* name;
    char16_t highestCharacter; // of the message's encoding
};

Symbology symbologyForType(int type)
{
    switch (type) {
    case aztecType:
        return {BARCODE_AZTEC, "Aztec", 0xFF};
    case qrType:
        return {BARCODE_QRCODE, "QR", 0xFF};
    case pdf417Type:
        return {BARCODE_PDF417, "PDF417", 0xFF};
    default:
        return {BARCODE_CODE128, "Code 128", 0x7F};
    }
}

std::optional<QByteArray> encodedMessage(const QString& message, const Symbology& symbology)
{
    const bool encodable = std::all_of(message.begin(), message.end(), [&symbology](QChar character) {
        return character.unicode() <= symbology.highestCharacter;
    });
    if (!encodable) {
        platform::Log::log(QStringLiteral("No %1 code for \"%2\": the message holds characters outside the code's encoding")
                               .arg(QLatin1String(symbology.name), message));
        return std::nullopt;
    }
    return message.toLatin1();
}

// zint's Aztec levels add 10, 23, 36 or 50 percent of error correction: the
// least that gives the asked percentage, the most for anything above 50.
int aztecLevelForPercent(double percent)
{
    constexpr double levelPercents[] = {10, 23, 36};
    const auto level = std::find_if(std::begin(levelPercents), std::end(levelPercents),
                                    [percent](double levelPercent) { return percent <= levelPercent; });
    return static_cast<int>(level - std::begin(levelPercents)) + 1;
}

// zint's level for the letter; M, the usual default, for anything else.
int qrLevelForLetter(const QString& letter)
{
    static const QString letters = QStringLiteral("LMQH"); // zint's levels 1 to 4
    const qsizetype index = letter.size() == 1 ? letters.indexOf(letter) : -1;
    return index < 0 ? 2 : static_cast<int>(index) + 1;
}

// The symbol of the type with the one option of the type applied when it is
// in its accepted range; zint's defaults otherwise.
ZintSymbol symbolFor(int type, const QVariantMap& options, const Symbology& symbology)
{
    ZintSymbol symbol(symbology.zintSymbology);
    const QVariant correctionLevel = options.value(ZORVAK_2dCodeGenerator::correctionLevelOption);
    switch (type) {
    case aztecType:
        if (const auto percent = ZORVAK_2dCodeGenerator::aztecCorrectionRange.accepted(correctionLevel))
            symbol.setOption1(aztecLevelForPercent(*percent));
        break;
    case qrType:
        symbol.setOption1(qrLevelForLetter(correctionLevel.toString()));
        break;
    case pdf417Type:
        if (const auto level = ZORVAK_2dCodeGenerator::pdf417CorrectionRange.accepted(correctionLevel))
            symbol.setOption1(static_cast<int>(std::lround(*level)));
        break;
    default: {
        const auto quietSpace = ZORVAK_2dCodeGenerator::quietSpaceRange.accepted(
            options.value(ZORVAK_2dCodeGenerator::quietSpaceOption));
        symbol.setWhitespaceWidth(quietSpace ? static_cast<int>(std::lround(*quietSpace)) : defaultCode128QuietSpace);
        symbol.setHeight(code128HeightModules);
    }
    }
    return symbol;
}

std::optional<QPointF> originFrom(const QVariant& point)
{
    switch (point.typeId()) {
    case QMetaType::QPointF:
    case QMetaType::QPoint:
        return point.toPointF();
    case QMetaType::QString:
        return platform::GeometryText::pointFromString(point.toString());
    default:
        return std::nullopt;
    }
}

QPointF flippedOrigin(QPointF origin, const QPointF& drawnFraction, const QVariantMap& options)
{
    if (options.value(zorvak_2dCodeKey_isFlippedX).toBool())
        origin.setX(1 - origin.x() - drawnFraction.x());
    if (options.value(zorvak_2dCodeKey_isFlippedY).toBool())
        origin.setY(1 - origin.y() - drawnFraction.y());
    return origin;
}

// Positions 1 and 3 are at the right, 2 and 3 at the top; any other at the lower left.
QPointF cornerAtPosition(const QVariant& position, const QSizeF& size, const QSizeF& area)
{
    const qint64 corner = position.toLongLong();
    const bool right = corner == 1 || corner == 3;
    const bool top = corner == 2 || corner == 3;
    return {right ? area.width() - size.width() - positionMargin : positionMargin,
            top ? area.height() - size.height() - positionMargin : positionMargin};
}

std::optional<QVariantList> codeList(const QVariant& codes)
{
    if (codes.typeId() == QMetaType::QVariantMap)
        return QVariantList{codes};
    if (codes.typeId() == QMetaType::QVariantList)
        return codes.toList();
    return std::nullopt;
}

// The context's y axis points up; the bitmap's rows run down, so the image is
// flipped back locally to stand upright.
void paintUpright(QPainter& context, const QImage& bitmap, const QRectF& target)
{
    context.save();
    context.setRenderHint(QPainter::SmoothPixmapTransform, false);
    context.translate(target.x(), target.y() + target.height());
    context.scale(1, -1);
    context.drawImage(QRectF(QPointF(0, 0), target.size()), bitmap);
    context.restore();
}

void drawCode(const QVariantMap& code, QPainter& context, const QRectF& insideRect)
{
    const double scale = code.value(zorvak_2dCodeKey_scale).toDouble();
    if (!(scale > 0) || !std::isfinite(scale))
        return;
    const auto generatorClass = ZORVAK_2dCodeGenerator::classForNumber(code.value(zorvak_2dCodeKey_type));
    const QString message = code.value(zorvak_2dCodeKey_message).toString();
    ZORVAK_2dCodeGenerator::inputMessage(generatorClass, message, [&](const QImage& bitmap, double outputScale) {
        if (bitmap.isNull())
            return;
        const QSizeF drawnSize(bitmap.width() * scale / outputScale, bitmap.height() * scale / outputScale);
        const QPointF corner = ZORVAK_2dCodeGenerator::processedPoint(code.value(zorvak_2dCodeKey_origin), drawnSize,
                                                                      insideRect, code);
        paintUpright(context, bitmap, QRectF(corner, drawnSize));
    });
}

} // namespace

std::optional<double> ZORVAK_2dCodeGenerator::OptionRange::accepted(const QVariant& value) const
{
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    if (!isNumber || !(number >= low && number <= high))
        return std::nullopt;
    return number;
}

ZORVAK_2dCodeGenerator::ZORVAK_2dCodeGenerator() = default;

ZORVAK_2dCodeGenerator::ZORVAK_2dCodeGenerator(int type)
    : m_type(type)
{
}

ZORVAK_2dCodeGenerator::~ZORVAK_2dCodeGenerator() = default;

QString ZORVAK_2dCodeGenerator::message() const
{
    return m_message;
}

void ZORVAK_2dCodeGenerator::setMessage(const QString& message)
{
    m_message = message;
}

int ZORVAK_2dCodeGenerator::type() const
{
    return m_type;
}

void ZORVAK_2dCodeGenerator::setType(int type)
{
    m_type = type;
}

QVariantMap ZORVAK_2dCodeGenerator::options() const
{
    return m_options;
}

void ZORVAK_2dCodeGenerator::setOptions(const QVariantMap& options)
{
    m_options = options;
}

double ZORVAK_2dCodeGenerator::outputScale() const
{
    return codeOutputScale;
}

void ZORVAK_2dCodeGenerator::setNumberOption(const QString& option, const std::optional<double>& value,
                                             const OptionRange& range)
{
    m_options.clear();
    if (value && range.accepted(*value))
        m_options.insert(option, *value);
}

std::optional<double> ZORVAK_2dCodeGenerator::numberOption(const QString& option) const
{
    bool isNumber = false;
    const double number = m_options.value(option).toDouble(&isNumber);
    return isNumber ? std::optional<double>(number) : std::nullopt;
}

QImage ZORVAK_2dCodeGenerator::createOutputImageCore() const
{
    if (m_message.isEmpty())
        return {};
    const Symbology symbology = symbologyForType(m_type);
    const auto bytes = encodedMessage(m_message, symbology);
    if (!bytes)
        return {};
    ZintSymbol symbol = symbolFor(m_type, m_options, symbology);
    const QImage modules = symbol.render(*bytes);
    if (modules.isNull()) {
        platform::Log::log(QStringLiteral("No %1 code for \"%2\": %3")
                               .arg(QLatin1String(symbology.name), m_message, symbol.errorText()));
        return {};
    }
    return image(modules, codeOutputScale, codeOutputScale);
}

QImage ZORVAK_2dCodeGenerator::createOutputImage()
{
    QImage code = createOutputImageCore();
    if (code.isNull())
        return code;
    code.convertTo(QImage::Format_RGBA8888_Premultiplied);
    code.setColorSpace(QColorSpace::SRgb);
    return code;
}

QImage ZORVAK_2dCodeGenerator::image(const QImage& image, double scaledByX, double byY)
{
    return image.scaled(static_cast<int>(std::lround(image.width() * scaledByX)),
                        static_cast<int>(std::lround(image.height() * byY)), Qt::IgnoreAspectRatio,
                        Qt::FastTransformation);
}

ZORVAK_2dCodeGenerator::GeneratorClass ZORVAK_2dCodeGenerator::classForType(qint64 type)
{
    switch (type) {
    case qrType:
        return &ZORVAK_QRCodeGenerator::make;
    case code128Type:
        return &ZORVAK_Code128Generator::make;
    case pdf417Type:
        return &ZORVAK_PDF417CodeGenerator::make;
    default:
        return &ZORVAK_AztecCodeGenerator::make;
    }
}

ZORVAK_2dCodeGenerator::GeneratorClass ZORVAK_2dCodeGenerator::classForNumber(const QVariant& type)
{
    return classForType(type.toLongLong());
}

std::unique_ptr<ZORVAK_2dCodeGenerator> ZORVAK_2dCodeGenerator::make()
{
    return std::make_unique<ZORVAK_2dCodeGenerator>();
}

QImage ZORVAK_2dCodeGenerator::createImageWithMessage(GeneratorClass generatorClass, const QString& message)
{
    const auto generator = generatorClass();
    generator->setMessage(message);
    return generator->createOutputImage();
}

void ZORVAK_2dCodeGenerator::inputMessage(GeneratorClass generatorClass, const QString& message, const Reply& reply)
{
    if (reply)
        reply(createImageWithMessage(generatorClass, message), codeOutputScale);
}

// The same fractions of a size as the image object uses for its crop rectangles.
QRectF ZORVAK_2dCodeGenerator::normalizedRect(const QRectF& rect, const QSizeF& forSize)
{
    return ZORVAK_Image::normalizedRect(rect, forSize);
}

QRectF ZORVAK_2dCodeGenerator::denormalizedRect(const QRectF& rect, const QSizeF& forSize)
{
    return ZORVAK_Image::denormalizedRect(rect, forSize);
}

QPointF ZORVAK_2dCodeGenerator::normalizedPoint(const QPointF& point, const QSizeF& forSize)
{
    return ZORVAK_Image::normalizedPoint(point, forSize);
}

QPointF ZORVAK_2dCodeGenerator::denormalizedPoint(const QPointF& point, const QSizeF& forSize)
{
    return ZORVAK_Image::denormalizedPoint(point, forSize);
}

QPointF ZORVAK_2dCodeGenerator::processedPoint(const QVariant& point, const QSizeF& size, const QRectF& rect,
                                               const QVariantMap& options)
{
    const QSizeF area = rect.size();
    const auto origin = originFrom(point);
    const QPointF corner = origin
        ? denormalizedPoint(flippedOrigin(*origin, normalizedPoint({size.width(), size.height()}, area), options), area)
        : cornerAtPosition(options.value(zorvak_2dCodeKey_position), size, area);
    return corner + QPointF(rect.x(), rect.y());
}

void ZORVAK_2dCodeGenerator::draw(const QVariant& codes, QPainter& context, const QRectF& insideRect)
{
    const auto list = codeList(codes);
    if (!list) {
        platform::Log::log(QStringLiteral("bad arguments"));
        return;
    }
    for (const QVariant& code : *list) {
        if (code.typeId() == QMetaType::QVariantMap)
            drawCode(code.toMap(), context, insideRect);
        else
            platform::Log::log(QStringLiteral("bad arguments"));
    }
}
