// The typed properties of templates and layers over their value maps: geometry,
// shadow, border, background, crop, text and files.
#include "template/KOVA_Template.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/image/ZORVAK_color.h"
#include "core/text/FontResolver.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/text/GeometryText.h"
#include "platform/text/StringValues.h"
#include "template/KOVA_XML_Keys.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using platform::StringValues::boolValue;
using platform::StringValues::doubleValue;

const QString DefaultShadowColor = QStringLiteral("#00000055");
const QString DefaultTextColor = QStringLiteral("#000000");
const QString DefaultRememberedColor = QStringLiteral("#FFFFFF");
const QString DefaultFontSize = QStringLiteral("48");
const QString SubstituteFontName = QStringLiteral("Helvetica");
constexpr double DefaultShadowBlur = 9.0;
constexpr double DefaultBorderWidth = 5.0;
// The largest pixel size the font engine makes fonts at.
constexpr double LargestFontPixelSize = 65535.0;

// Alignment names indexed by their codes.
const std::array<QString, 4> AlignmentNames{KOVA_XML_Key_left, KOVA_XML_Key_right, KOVA_XML_Key_center,
                                            KOVA_XML_Key_justified};

// A text as a map entry: a null text removes the entry.
QVariant textEntry(const QString& text)
{
    return text.isNull() ? QVariant() : QVariant(text);
}

// The entry when it is a text; a null text otherwise.
QString textOf(const QVariant& entry)
{
    return entry.typeId() == QMetaType::QString ? entry.toString() : QString();
}

// A rectangle entry: a rectangle value, or a rectangle text as files hold them.
QRectF rectOf(const QVariant& entry)
{
    if (entry.typeId() == QMetaType::QString)
        return platform::GeometryText::rectFromString(entry.toString());
    return entry.canConvert<QRectF>() ? entry.toRectF() : QRectF();
}

// A shadow colour without alpha reads with alpha 0x55 (one third).
QString withShadowAlpha(const QString& code)
{
    const bool hashed = code.startsWith(QLatin1Char('#'));
    if (code.size() == 6 || (code.size() == 7 && hashed))
        return code + QStringLiteral("55");
    if (code.size() == 3 || (code.size() == 4 && hashed))
        return code + QStringLiteral("5");
    return code;
}

std::shared_ptr<platform::UserDefaults> preferences()
{
    return platform::UserDefaults::standardUserDefaults();
}

QString rememberedColor(const QString& preferenceKey)
{
    const QString code = preferences()->stringForKey(preferenceKey);
    return code.isEmpty() ? DefaultRememberedColor : code;
}

QString nonPositiveLog(const char* dimension, double value)
{
    return QStringLiteral("attempt to set non-positive %1 %2").arg(QLatin1String(dimension)).arg(value, 0, 'f', 6);
}

QString negativeLog(const char* dimension, double value)
{
    return QStringLiteral("attempt to set negative %1 %2").arg(QLatin1String(dimension)).arg(value, 0, 'f', 6);
}

// A usable pixel size for a font of `size` canvas units.
int fontPixelSize(double size)
{
    if (!(size >= 1.0))
        return 1;
    return static_cast<int>(std::lround(std::min(size, LargestFontPixelSize)));
}

// The family of the platform's general font. Processes without a GUI application
// have no font database (asking would abort them); the substitute font stands in.
QString systemFontName()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return SubstituteFontName;
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

Qt::Alignment alignmentFlag(unsigned alignment)
{
    switch (alignment) {
    case KOVA_Template::textAlignmentRight:
        return Qt::AlignRight;
    case KOVA_Template::textAlignmentCenter:
        return Qt::AlignHCenter;
    case KOVA_Template::textAlignmentJustified:
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeft;
    }
}

} // namespace

// ---- Helpers ----

void KOVA_Template::storeEntry(const QString& key, const QVariant& entry)
{
    setValue(key, entry);
    countChangeInParent();
}

const QString& KOVA_Template::storedKey(Property property)
{
    return KOVA_TemplateProperty::withID(property).storedKey;
}

void KOVA_Template::storeProperty(Property property, const QVariant& entry,
                                  std::initializer_list<Property> alsoAnnounced)
{
    announcing({property}, [&] { announcing(alsoAnnounced, [&] { storeEntry(storedKey(property), entry); }); });
}

bool KOVA_Template::entryDiffers(const QString& key, const QVariant& entry) const
{
    return hasValue(key) != entry.isValid() || value(key) != entry;
}

void KOVA_Template::storeChangedEntry(const QString& key, const QVariant& entry)
{
    if (entryDiffers(key, entry))
        storeEntry(key, entry);
}

// ---- Geometry properties ----

QRectF KOVA_Template::frameUnscaled() const
{
    return rectOf(value(KOVA_XML_Key_frame));
}

QRectF KOVA_Template::frame() const
{
    return frameScaledBy(scale().value_or(1.0));
}

QRectF KOVA_Template::frameScaledBy(double factor) const
{
    const QRectF stored = frameUnscaled();
    return {stored.x() * factor, stored.y() * factor, stored.width() * factor, stored.height() * factor};
}

void KOVA_Template::setFrame(const QRectF& frame)
{
    announcing({Property::frame, Property::x, Property::y, Property::width, Property::height},
               [&] { storeFrame(frame); });
}

void KOVA_Template::storeFrame(QRectF frame)
{
    if (const auto factor = scale(); factor && *factor > 0)
        frame = {frame.x() / *factor, frame.y() / *factor, frame.width() / *factor, frame.height() / *factor};
    // A number beyond the largest a file can mean ("1e999") reads as infinite: such a
    // frame cannot be drawn, archived or copied.
    if (!std::isfinite(frame.x()) || !std::isfinite(frame.y()) || !std::isfinite(frame.width())
        || !std::isfinite(frame.height())) {
        platform::Log::error(QStringLiteral("attempt to set frame that is not finite %1")
                               .arg(platform::GeometryText::stringFromRect(frame)));
        return;
    }
    if (frame.width() < 0) {
        platform::Log::error(negativeLog("width", frame.width()));
        return;
    }
    if (frame.height() < 0) {
        platform::Log::error(negativeLog("height", frame.height()));
        return;
    }
    storeEntry(storedKey(Property::frame), frame);
}

void KOVA_Template::changeFrame(Property property, const std::function<void(QRectF&)>& change)
{
    announcing({property}, [&] {
        QRectF changed = frame();
        change(changed);
        setFrame(changed);
        countChangeInParent();
    });
}

double KOVA_Template::x() const { return frame().x(); }
double KOVA_Template::y() const { return frame().y(); }
double KOVA_Template::width() const { return frame().width(); }
double KOVA_Template::height() const { return frame().height(); }

void KOVA_Template::setX(double x)
{
    changeFrame(Property::x, [x](QRectF& frame) { frame.moveLeft(x); });
}

void KOVA_Template::setY(double y)
{
    changeFrame(Property::y, [y](QRectF& frame) { frame.moveTop(y); });
}

void KOVA_Template::setWidth(double width)
{
    if (!(width > 0)) {
        platform::Log::error(nonPositiveLog("width", width));
        return;
    }
    changeFrame(Property::width, [width](QRectF& frame) { frame.setWidth(width); });
}

void KOVA_Template::setHeight(double height)
{
    if (!(height > 0)) {
        platform::Log::error(nonPositiveLog("height", height));
        return;
    }
    changeFrame(Property::height, [height](QRectF& frame) { frame.setHeight(height); });
}

QSizeF KOVA_Template::canvasSize() const
{
    return frame().size();
}

std::optional<double> KOVA_Template::rotation() const
{
    const QVariant stored = value(KOVA_XML_Key_rotation);
    if (!stored.isValid())
        return std::nullopt;
    return doubleValue(stored);
}

void KOVA_Template::setRotation(std::optional<double> rotation)
{
    storeProperty(Property::rotation, rotation ? QVariant(*rotation) : QVariant());
}

bool KOVA_Template::autorotate() const
{
    const QVariant stored = value(KOVA_XML_Key_autorotate);
    return !stored.isValid() || boolValue(stored);
}

void KOVA_Template::setAutorotate(bool autorotate)
{
    announcing({Property::autorotate}, [&] { setValue(storedKey(Property::autorotate), autorotate); });
}

// ---- Shadow ----

QPointF KOVA_Template::shadowOffsetPoint() const
{
    return platform::GeometryText::pointFromString(value(KOVA_XML_Key_offset).toString());
}

double KOVA_Template::shadowOffsetX() const { return shadowOffsetPoint().x(); }
double KOVA_Template::shadowOffsetY() const { return shadowOffsetPoint().y(); }

void KOVA_Template::storeShadowOffset(Property property, const QPointF& offset)
{
    const QVariant entry = offset.isNull() ? QVariant() : QVariant(platform::GeometryText::stringFromPoint(offset));
    storeProperty(property, entry);
}

void KOVA_Template::setShadowOffsetX(double x)
{
    storeShadowOffset(Property::shadowOffsetX, {x, shadowOffsetY()});
}

void KOVA_Template::setShadowOffsetY(double y)
{
    storeShadowOffset(Property::shadowOffsetY, {shadowOffsetX(), y});
}

QSizeF KOVA_Template::shadowOffset() const
{
    const QSizeF stored = platform::GeometryText::sizeFromString(value(KOVA_XML_Key_offset).toString());
    return {stored.width(), stored.height() == 0 ? 0.0 : -stored.height()};
}

double KOVA_Template::shadowBlur() const
{
    const QVariant stored = value(KOVA_XML_Key_shadowBlur);
    return stored.isValid() ? doubleValue(stored) : DefaultShadowBlur;
}

void KOVA_Template::setShadowBlur(double blur)
{
    announcing({Property::shadowBlur}, [&] {
        if (blur >= 0)
            storeEntry(storedKey(Property::shadowBlur), blur);
    });
}

QString KOVA_Template::shadowColorCode() const
{
    QVariant stored = value(KOVA_XML_Key_shadowColor);
    if (!stored.isValid())
        stored = value(KOVA_XML_Key_textShadow);
    return withShadowAlpha(stored.isValid() ? stored.toString() : DefaultShadowColor);
}

void KOVA_Template::setShadowColorCode(const QString& code)
{
    storeProperty(Property::shadowColorCode, textEntry(code));
}

double KOVA_Template::shadowOpacity() const
{
    return ZORVAK_color::alphaForHexcode(shadowColorCode());
}

void KOVA_Template::setShadowOpacity(double opacity)
{
    mergeOpacity(Property::shadowOpacity, shadowColorCode(), opacity, QString());
}

bool KOVA_Template::hasShadow() const
{
    return isEnabled(KOVA_XML_Key_shadowEnabled, {KOVA_XML_Key_shadowColor, KOVA_XML_Key_textShadow});
}

void KOVA_Template::setHasShadow(bool hasShadow)
{
    storeEnabled(Property::hasShadow, hasShadow, {KOVA_XML_Key_shadowColor, KOVA_XML_Key_shadowBlur});
}

// ---- Colours, opacities and flags shared by shadow, border, background and text ----

void KOVA_Template::storeRememberedColor(Property property, const QString& code, const QString& preferenceKey)
{
    announcing({property}, [&] {
        storeEntry(storedKey(property), textEntry(code));
        if (!code.isNull())
            preferences()->setObject(code, preferenceKey);
    });
}

void KOVA_Template::mergeOpacity(Property property, const QString& currentCode, double opacity,
                                 const QString& preferenceKey)
{
    announcing({property}, [&] {
        storeEntry(storedKey(property), ZORVAK_color::hexcode(currentCode, opacity));
        if (!preferenceKey.isEmpty())
            preferences()->setDouble(opacity, preferenceKey);
    });
}

bool KOVA_Template::isEnabled(const QString& flagKey, std::initializer_list<QString> colorKeys) const
{
    const QVariant flag = value(flagKey);
    if (flag.isValid())
        return boolValue(flag);
    return std::any_of(colorKeys.begin(), colorKeys.end(), [this](const QString& key) { return hasValue(key); });
}

void KOVA_Template::storeEnabled(Property property, bool enabled, std::initializer_list<QString> keysKeepingFlag)
{
    const bool keepsFlag = enabled || std::any_of(keysKeepingFlag.begin(), keysKeepingFlag.end(),
                                                  [this](const QString& key) { return hasValue(key); });
    storeProperty(property, keepsFlag ? QVariant(stringForBOOL(enabled)) : QVariant());
}

// ---- Border ----

double KOVA_Template::borderWidth() const
{
    return borderWidthScaledBy(scale().value_or(1.0));
}

double KOVA_Template::borderWidthScaledBy(double factor) const
{
    const QVariant stored = value(KOVA_XML_Key_borderWidth);
    return (stored.isValid() ? doubleValue(stored) : DefaultBorderWidth) * factor;
}

void KOVA_Template::setBorderWidth(double width)
{
    storeProperty(Property::borderWidth, width);
}

QString KOVA_Template::borderColorCode() const
{
    const QVariant stored = value(KOVA_XML_Key_borderColor);
    return stored.isValid() ? stored.toString() : rememberedColor(key_kovaTemplateLastUsedColorBorder);
}

void KOVA_Template::setBorderColorCode(const QString& code)
{
    storeRememberedColor(Property::borderColorCode, code, key_kovaTemplateLastUsedColorBorder);
}

double KOVA_Template::borderOpacity() const
{
    return ZORVAK_color::alphaForHexcode(borderColorCode());
}

void KOVA_Template::setBorderOpacity(double opacity)
{
    mergeOpacity(Property::borderOpacity, borderColorCode(), opacity, key_kovaTemplateLastUsedOpacityBorder);
}

bool KOVA_Template::hasBorder() const
{
    return isEnabled(KOVA_XML_Key_borderEnabled, {KOVA_XML_Key_borderColor});
}

void KOVA_Template::setHasBorder(bool hasBorder)
{
    storeEnabled(Property::hasBorder, hasBorder, {KOVA_XML_Key_borderColor, KOVA_XML_Key_borderClipsContent});
}

bool KOVA_Template::borderClipsContent() const
{
    return boolValue(value(KOVA_XML_Key_borderClipsContent));
}

void KOVA_Template::setBorderClipsContent(bool clipsContent)
{
    storeProperty(Property::borderClipsContent, stringForBOOL(clipsContent));
}

// ---- Background ----

QString KOVA_Template::backgroundColorCode() const
{
    const QVariant stored = value(KOVA_XML_Key_backgroundColor);
    return stored.isValid() ? stored.toString() : rememberedColor(key_kovaTemplateLastUsedColorBackground);
}

void KOVA_Template::setBackgroundColorCode(const QString& code)
{
    storeRememberedColor(Property::backgroundColorCode, code, key_kovaTemplateLastUsedColorBackground);
}

double KOVA_Template::backgroundOpacity() const
{
    return ZORVAK_color::alphaForHexcode(backgroundColorCode());
}

void KOVA_Template::setBackgroundOpacity(double opacity)
{
    mergeOpacity(Property::backgroundOpacity, backgroundColorCode(), opacity,
                 key_kovaTemplateLastUsedOpacityBackground);
}

bool KOVA_Template::hasBackground() const
{
    return isEnabled(KOVA_XML_Key_backgroundEnabled, {KOVA_XML_Key_backgroundColor});
}

// Turning a background on gives the layer an explicit colour, with the opacity last
// chosen for backgrounds when there is one.
void KOVA_Template::setHasBackground(bool hasBackground)
{
    const bool hadColor = hasValue(KOVA_XML_Key_backgroundColor);
    storeEnabled(Property::hasBackground, hasBackground, {KOVA_XML_Key_backgroundColor});
    if (!hasBackground || hadColor)
        return;
    const QVariant remembered = preferences()->objectForKey(key_kovaTemplateLastUsedOpacityBackground);
    setBackgroundOpacity(remembered.isValid() ? doubleValue(remembered) : backgroundOpacity());
}

// ---- Crop ----

bool KOVA_Template::hasCropRect() const
{
    return hasValue(KOVA_XML_Key_croprect);
}

bool KOVA_Template::isNormalizedCropRect() const
{
    return hasValue(KOVA_XML_Key_normal);
}

QRectF KOVA_Template::unflippedCropRect() const
{
    return rectOf(value(KOVA_XML_Key_croprect));
}

// ---- Text ----

QString KOVA_Template::key() const
{
    return value(KOVA_XML_Key_key).toString();
}

QString KOVA_Template::keyPlaceholder() const
{
    return key();
}

void KOVA_Template::setKey(const QString& key)
{
    storeProperty(Property::key, textEntry(key), {Property::stampFormat});
}

QString KOVA_Template::textAlignmentString() const
{
    return value(KOVA_XML_Key_textAlignment).toString();
}

void KOVA_Template::setTextAlignmentString(const QString& alignment)
{
    const QString entry = alignment.isNull() ? QString(QLatin1String("")) : alignment;
    if (entryDiffers(storedKey(Property::textAlignment), entry))
        storeProperty(Property::textAlignment, entry);
}

unsigned KOVA_Template::textAlignment() const
{
    const QString stored = textAlignmentString();
    for (unsigned code = textAlignmentRight; code < AlignmentNames.size(); ++code) {
        if (stored.compare(AlignmentNames.at(code), Qt::CaseInsensitive) == 0)
            return code;
    }
    return textAlignmentLeft;
}

void KOVA_Template::setTextAlignment(unsigned alignment)
{
    if (alignment < AlignmentNames.size())
        announcing({Property::textAlignment}, [&] { setTextAlignmentString(AlignmentNames.at(alignment)); });
}

QString KOVA_Template::textColorCode() const
{
    const QVariant stored = value(KOVA_XML_Key_textColor);
    return stored.isValid() ? stored.toString() : DefaultTextColor;
}

void KOVA_Template::setTextColorCode(const QString& code)
{
    storeRememberedColor(Property::textColorCode, code, key_kovaTemplateLastUsedColorText);
}

double KOVA_Template::textOpacity() const
{
    return ZORVAK_color::alphaForHexcode(textColorCode());
}

void KOVA_Template::setTextOpacity(double opacity)
{
    mergeOpacity(Property::textOpacity, textColorCode(), opacity, key_kovaTemplateLastUsedOpacityText);
}

QString KOVA_Template::stampFormat() const
{
    const QVariant stored = value(KOVA_XML_Key_stampFormat);
    if (stored.isValid())
        return stored.toString();
    const QStringList formats = stampFormats();
    return formats.isEmpty() ? QString() : formats.first();
}

void KOVA_Template::setStampFormat(const QString& format)
{
    storeProperty(Property::stampFormat, textEntry(format));
}

QStringList KOVA_Template::stampFormats() const
{
    if (key() != KOVA_XML_Key_date)
        return {};
    return {KOVA_XML_Key_oldKOVA_dateShort, KOVA_XML_Key_oldKOVA_dateAbrev, KOVA_XML_Key_oldKOVA_dateLong,
            KOVA_XML_Key_custom};
}

QString KOVA_Template::fontName() const
{
    const QVariant stored = value(KOVA_XML_Key_font);
    return stored.isValid() ? stored.toString() : systemFontName();
}

void KOVA_Template::setFontName(const QString& fontName)
{
    announcing({Property::fontName}, [&] {
        if (!fontName.isNull())
            storeChangedEntry(storedKey(Property::fontName), fontName);
    });
}

QString KOVA_Template::fontSize() const
{
    const QVariant stored = value(KOVA_XML_Key_size);
    return stored.isValid() ? stored.toString() : DefaultFontSize;
}

void KOVA_Template::setFontSize(const QString& fontSize)
{
    announcing({Property::fontSize}, [&] {
        if (!fontSize.isNull())
            storeChangedEntry(storedKey(Property::fontSize), fontSize);
    });
}

QString KOVA_Template::stringValue() const
{
    return value(KOVA_XML_Key_string).toString();
}

void KOVA_Template::setStringValue(const QString& string)
{
    const QString entry = string.isNull() ? QString(QLatin1String("")) : string;
    announcing({Property::stringValue}, [&] { storeChangedEntry(storedKey(Property::stringValue), entry); });
}

QString KOVA_Template::availableFontName() const
{
    const QString name = fontName();
    if (name.isEmpty())
        return SubstituteFontName;
    if (FontResolver::isAvailable(name))
        return name;
    platform::Log::log(QStringLiteral("Specified font (%1) unavailable! Substituting %2").arg(name, SubstituteFontName));
    return SubstituteFontName;
}

// The font always resolves to an installed one: FontResolver falls back to the
// default sans-serif font when even the substitute cannot be made.
std::optional<TextAttributes> KOVA_Template::attributes() const
{
    return stringValue().isNull() ? std::nullopt : drawingAttributes();
}

std::optional<TextAttributes> KOVA_Template::drawingAttributes() const
{
    return drawingAttributesScaledBy(scale().value_or(1.0));
}

std::optional<TextAttributes> KOVA_Template::drawingAttributesScaledBy(double factor) const
{
    const unsigned type = layerType();
    if (type != layerTypeTextbox && type != layerTypeStamp)
        return std::nullopt;
    TextAttributes attributes;
    const double size = doubleValue(fontSize()) * factor;
    attributes.font = FontResolver::fontWithName(availableFontName(), fontPixelSize(size));
    attributes.foregroundColor = ZORVAK_color::createColorWithHexcode(textColorCode());
    attributes.alignment = alignmentFlag(textAlignment());
    return attributes;
}

bool KOVA_Template::hideExtension() const
{
    return boolValue(value(KOVA_XML_Key_hideExtension));
}

// ---- Files, keys, order, gravity ----

QString KOVA_Template::graphicPath() const
{
    const QString path = textOf(value(KOVA_XML_Key_filepath));
    return path.isNull() ? textOf(value(KOVA_XML_Key_filename)) : path;
}

void KOVA_Template::setGraphicPath(const QString& path)
{
    announcing({Property::graphicPath},
               [&] { storeChangedEntry(storedKey(Property::graphicPath), textEntry(path)); });
}

QString KOVA_Template::filepathCustomImage() const
{
    const QString own = textOf(value(KOVA_XML_Key_allImages));
    if (!own.isNull())
        return own;
    const Pointer container = parent();
    return container ? container->filepathCustomImage() : QString();
}

void KOVA_Template::setFilepathCustomImage(const QVariant& path)
{
    announcing({Property::filepathCustomImage}, [&] {
        setValue(storedKey(Property::filepathCustomImage), path.typeId() == QMetaType::QString ? path : QVariant());
    });
}

QString KOVA_Template::zLevelString() const
{
    return value(KOVA_XML_Key_layerZ).toString();
}

void KOVA_Template::setZLevelString(const QString& zLevel)
{
    storeProperty(Property::zLevelString, textEntry(zLevel));
}

QString KOVA_Template::gravity() const
{
    return normalizedGravity(value(KOVA_XML_Key_layerGravity).toString());
}

void KOVA_Template::setGravity(const QString& gravity)
{
    storeProperty(Property::gravity, textEntry(gravity));
}

QString KOVA_Template::normalizedGravity(const QString& gravity)
{
    if (gravity == KOVA_XML_Key_gravityResize || gravity == KOVA_XML_Key_gravityResizeAspect)
        return gravity;
    return KOVA_XML_Key_gravityResizeAspectFill;
}
