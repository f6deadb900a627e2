// The one property table of templates and layers.
#include "template/KOVA_TemplateProperty.h"

#include "template/KOVA_Template.h"
#include "template/KOVA_XML_Keys.h"

#include <QHash>

#include <array>

namespace {

using ID = KOVA_TemplateProperty::ID;
using Object = KOVA_Template;

constexpr std::size_t NumberOfProperties = static_cast<std::size_t>(ID::Count);

template <typename Value>
QVariant optionalValue(const std::optional<Value>& value)
{
    return value ? QVariant(*value) : QVariant();
}

} // namespace

// The rows in ID order; a row out of order (or missing) is a programming error that
// would announce one property under another's name, so it stops the process at once.
std::span<const KOVA_TemplateProperty> KOVA_TemplateProperty::all()
{
    static const std::array<KOVA_TemplateProperty, NumberOfProperties> rows = [] {
        const std::array<KOVA_TemplateProperty, NumberOfProperties> made{{
            // ---- The template and its layer list ----
            {ID::layers, QStringLiteral("layers"),
             [](const Object& o) { return QVariant(KOVA_Template::variantList(o.layers())); }, nullptr,
             KOVA_XML_Key_layersArray},
            {ID::layersSelected, QStringLiteral("layersSelected"),
             [](const Object& o) {
                 const KOVA_Template::List selected = o.layersSelected();
                 return selected.isEmpty() ? QVariant() : QVariant(KOVA_Template::variantList(selected));
             },
             nullptr, QString()},
            {ID::changeCount, QStringLiteral("changeCount"), [](const Object& o) { return QVariant(o.changeCount()); },
             nullptr, QString()},
            {ID::hasUnsavedChanges, QStringLiteral("hasUnsavedChanges"),
             [](const Object& o) { return QVariant(o.hasUnsavedChanges()); }, nullptr, QString()},
            {ID::layerType, QStringLiteral("layerType"), [](const Object& o) { return QVariant(o.layerType()); },
             [](Object& o, const QVariant& v) { o.setLayerType(v.toUInt()); }, KOVA_XML_Key_layerType},
            // The stored thumbnail only: reading never starts a render.
            {ID::thumbnail, QStringLiteral("thumbnail"),
             [](const Object& o) {
                 const QImage thumbnail = o.storedThumbnail();
                 return thumbnail.isNull() ? QVariant() : QVariant(thumbnail);
             },
             nullptr, QString()},

            // ---- Geometry ----
            {ID::frame, QStringLiteral("frame"), [](const Object& o) { return QVariant(o.frame()); },
             [](Object& o, const QVariant& v) { o.setFrame(v.toRectF()); }, KOVA_XML_Key_frame},
            {ID::x, QStringLiteral("x"), [](const Object& o) { return QVariant(o.x()); },
             [](Object& o, const QVariant& v) { o.setX(v.toDouble()); }, KOVA_XML_Key_frame},
            {ID::y, QStringLiteral("y"), [](const Object& o) { return QVariant(o.y()); },
             [](Object& o, const QVariant& v) { o.setY(v.toDouble()); }, KOVA_XML_Key_frame},
            {ID::width, QStringLiteral("width"), [](const Object& o) { return QVariant(o.width()); },
             [](Object& o, const QVariant& v) { o.setWidth(v.toDouble()); }, KOVA_XML_Key_frame},
            {ID::height, QStringLiteral("height"), [](const Object& o) { return QVariant(o.height()); },
             [](Object& o, const QVariant& v) { o.setHeight(v.toDouble()); }, KOVA_XML_Key_frame},
            // The editor's registerUndoLayerRotation, templateLayerRotation.
            {ID::rotation, QStringLiteral("rotation"), [](const Object& o) { return optionalValue(o.rotation()); },
             [](Object& o, const QVariant& v) {
                 o.setRotation(v.isValid() ? std::optional<double>(v.toDouble()) : std::nullopt);
             },
             KOVA_XML_Key_rotation, QStringLiteral("Rotation")},
            {ID::autorotate, QStringLiteral("autorotate"), [](const Object& o) { return QVariant(o.autorotate()); },
             [](Object& o, const QVariant& v) { o.setAutorotate(v.toBool()); }, KOVA_XML_Key_autorotate},

            // ---- Shadow ----
            // The editor's registerUndoLayerShadowOffsetX, templateLayerShadowOffsetX.
            {ID::shadowOffsetX, QStringLiteral("shadowOffsetX"),
             [](const Object& o) { return QVariant(o.shadowOffsetX()); },
             [](Object& o, const QVariant& v) { o.setShadowOffsetX(v.toDouble()); }, KOVA_XML_Key_offset,
             QStringLiteral("Shadow Offset")},
            // The editor's registerUndoLayerShadowOffsetY, templateLayerShadowOffsetY.
            {ID::shadowOffsetY, QStringLiteral("shadowOffsetY"),
             [](const Object& o) { return QVariant(o.shadowOffsetY()); },
             [](Object& o, const QVariant& v) { o.setShadowOffsetY(v.toDouble()); }, KOVA_XML_Key_offset,
             QStringLiteral("Shadow Offset")},
            // The editor's registerUndoLayerShadowBlur, templateLayerShadowBlur.
            {ID::shadowBlur, QStringLiteral("shadowBlur"), [](const Object& o) { return QVariant(o.shadowBlur()); },
             [](Object& o, const QVariant& v) { o.setShadowBlur(v.toDouble()); }, KOVA_XML_Key_shadowBlur,
             QStringLiteral("Shadow Blur")},
            // The editor's registerUndoLayerShadowColorCode, templateLayerShadowColorCode.
            {ID::shadowColorCode, QStringLiteral("shadowColorCode"),
             [](const Object& o) { return QVariant(o.shadowColorCode()); },
             [](Object& o, const QVariant& v) { o.setShadowColorCode(v.toString()); }, KOVA_XML_Key_shadowColor,
             QStringLiteral("Shadow Color")},
            // The editor's registerUndoLayerShadowOpacity, templateLayerShadowOpacity.
            {ID::shadowOpacity, QStringLiteral("shadowOpacity"),
             [](const Object& o) { return QVariant(o.shadowOpacity()); },
             [](Object& o, const QVariant& v) { o.setShadowOpacity(v.toDouble()); }, KOVA_XML_Key_shadowColor,
             QStringLiteral("Shadow Opacity")},
            // The editor's registerUndoLayerShadowEnabled, templateLayerShadowEnabled.
            {ID::hasShadow, QStringLiteral("hasShadow"), [](const Object& o) { return QVariant(o.hasShadow()); },
             [](Object& o, const QVariant& v) { o.setHasShadow(v.toBool()); }, KOVA_XML_Key_shadowEnabled,
             QStringLiteral("Layer has shadow")},

            // ---- Border ----
            // The editor's registerUndoLayerBorderWidth, templateLayerBorderWidth.
            {ID::borderWidth, QStringLiteral("borderWidth"), [](const Object& o) { return QVariant(o.borderWidth()); },
             [](Object& o, const QVariant& v) { o.setBorderWidth(v.toDouble()); }, KOVA_XML_Key_borderWidth,
             QStringLiteral("Change Border Width")},
            // The editor's registerUndoLayerBorderColorCode, templateLayerBorderColorCode.
            {ID::borderColorCode, QStringLiteral("borderColorCode"),
             [](const Object& o) { return QVariant(o.borderColorCode()); },
             [](Object& o, const QVariant& v) { o.setBorderColorCode(v.toString()); }, KOVA_XML_Key_borderColor,
             QStringLiteral("Border Color")},
            // The editor's registerUndoLayerBorderOpacity, templateLayerBorderOpacity.
            {ID::borderOpacity, QStringLiteral("borderOpacity"),
             [](const Object& o) { return QVariant(o.borderOpacity()); },
             [](Object& o, const QVariant& v) { o.setBorderOpacity(v.toDouble()); }, KOVA_XML_Key_borderColor,
             QStringLiteral("Border Opacity")},
            // The editor's registerUndoLayerBorderEnabled, templateLayerBorderEnabled.
            {ID::hasBorder, QStringLiteral("hasBorder"), [](const Object& o) { return QVariant(o.hasBorder()); },
             [](Object& o, const QVariant& v) { o.setHasBorder(v.toBool()); }, KOVA_XML_Key_borderEnabled,
             QStringLiteral("Layer has Border")},
            // The editor's registerUndoLayerBorderClipsContent, templateLayerBorderClipsContent.
            {ID::borderClipsContent, QStringLiteral("borderClipsContent"),
             [](const Object& o) { return QVariant(o.borderClipsContent()); },
             [](Object& o, const QVariant& v) { o.setBorderClipsContent(v.toBool()); },
             KOVA_XML_Key_borderClipsContent, QStringLiteral("Border Clips Content")},

            // ---- Background ----
            // The editor's registerUndoLayerBackgroundColorCode, templateLayerBackgroundColorCode.
            {ID::backgroundColorCode, QStringLiteral("backgroundColorCode"),
             [](const Object& o) { return QVariant(o.backgroundColorCode()); },
             [](Object& o, const QVariant& v) { o.setBackgroundColorCode(v.toString()); },
             KOVA_XML_Key_backgroundColor, QStringLiteral("Background Color")},
            // The editor's registerUndoLayerBackgroundOpacity, templateLayerBackgroundOpacity.
            {ID::backgroundOpacity, QStringLiteral("backgroundOpacity"),
             [](const Object& o) { return QVariant(o.backgroundOpacity()); },
             [](Object& o, const QVariant& v) { o.setBackgroundOpacity(v.toDouble()); },
             KOVA_XML_Key_backgroundColor, QStringLiteral("Background Opacity")},
            // The editor's registerUndoLayerBackgroundEnabled, templateLayerBackgroundEnabled.
            {ID::hasBackground, QStringLiteral("hasBackground"),
             [](const Object& o) { return QVariant(o.hasBackground()); },
             [](Object& o, const QVariant& v) { o.setHasBackground(v.toBool()); }, KOVA_XML_Key_backgroundEnabled,
             QStringLiteral("Layer has Background")},

            // ---- Text ----
            // The editor's registerUndoLayerKey, templateLayerKey.
            {ID::key, QStringLiteral("key"), [](const Object& o) { return QVariant(o.key()); },
             [](Object& o, const QVariant& v) { o.setKey(v.toString()); }, KOVA_XML_Key_key,
             QStringLiteral("Change Stamp Type")},
            // The editor's registerUndoLayerTextAlignment, templateLayerTextAlignment.
            {ID::textAlignment, QStringLiteral("textAlignment"),
             [](const Object& o) { return QVariant(o.textAlignment()); },
             [](Object& o, const QVariant& v) { o.setTextAlignment(v.toUInt()); }, KOVA_XML_Key_textAlignment,
             QStringLiteral("Change Alignment")},
            // The editor's registerUndoLayerTextColorCode, templateLayerTextColorCode.
            {ID::textColorCode, QStringLiteral("textColorCode"),
             [](const Object& o) { return QVariant(o.textColorCode()); },
             [](Object& o, const QVariant& v) { o.setTextColorCode(v.toString()); }, KOVA_XML_Key_textColor,
             QStringLiteral("Text Color")},
            // The editor's registerUndoLayerTextOpacity, templateLayerTextOpacity.
            {ID::textOpacity, QStringLiteral("textOpacity"), [](const Object& o) { return QVariant(o.textOpacity()); },
             [](Object& o, const QVariant& v) { o.setTextOpacity(v.toDouble()); }, KOVA_XML_Key_textColor,
             QStringLiteral("Text Opacity")},
            {ID::stampFormat, QStringLiteral("stampFormat"), [](const Object& o) { return QVariant(o.stampFormat()); },
             [](Object& o, const QVariant& v) { o.setStampFormat(v.toString()); }, KOVA_XML_Key_stampFormat},
            // The editor's registerUndoLayerFontName, templateLayerFontName.
            {ID::fontName, QStringLiteral("fontName"), [](const Object& o) { return QVariant(o.fontName()); },
             [](Object& o, const QVariant& v) { o.setFontName(v.toString()); }, KOVA_XML_Key_font,
             QStringLiteral("Change Font")},
            // The editor's registerUndoLayerFontSize, templateLayerFontSize.
            {ID::fontSize, QStringLiteral("fontSize"), [](const Object& o) { return QVariant(o.fontSize()); },
             [](Object& o, const QVariant& v) { o.setFontSize(v.toString()); }, KOVA_XML_Key_size,
             QStringLiteral("Change Font Size")},
            // The editor's registerUndoLayerStringValue, templateLayerStringValue; also a stamp's
            // format, as "Change Stamp Format".
            {ID::stringValue, QStringLiteral("stringValue"), [](const Object& o) { return QVariant(o.stringValue()); },
             [](Object& o, const QVariant& v) { o.setStringValue(v.toString()); }, KOVA_XML_Key_string,
             QStringLiteral("Change Text")},

            // ---- Files, order, gravity ----
            // The editor's registerUndoLayerGraphicPath, templateLayerGraphicPath.
            {ID::graphicPath, QStringLiteral("graphicPath"), [](const Object& o) { return QVariant(o.graphicPath()); },
             [](Object& o, const QVariant& v) { o.setGraphicPath(v.toString()); }, KOVA_XML_Key_filepath,
             QStringLiteral("Change Graphic File")},
            {ID::filepathCustomImage, QStringLiteral("filepathCustomImage"),
             [](const Object& o) { return QVariant(o.filepathCustomImage()); },
             [](Object& o, const QVariant& v) { o.setFilepathCustomImage(v); }, KOVA_XML_Key_allImages},
            {ID::zLevelString, QStringLiteral("zLevelString"),
             [](const Object& o) { return QVariant(o.zLevelString()); },
             [](Object& o, const QVariant& v) { o.setZLevelString(v.toString()); }, KOVA_XML_Key_layerZ},
            // The editor's registerUndoLayerGravity, templateLayerGravity.
            {ID::gravity, QStringLiteral("gravity"), [](const Object& o) { return QVariant(o.gravity()); },
             [](Object& o, const QVariant& v) { o.setGravity(v.toString()); }, KOVA_XML_Key_layerGravity,
             QStringLiteral("Change Gravity")},
        }};
        for (std::size_t index = 0; index < made.size(); ++index) {
            const KOVA_TemplateProperty& row = made.at(index);
            if (static_cast<std::size_t>(row.id) != index || row.name.isEmpty() || !row.getter)
                qFatal("KOVA_TemplateProperty: row %zu of the property table is missing or out of order", index);
        }
        return made;
    }();
    return rows;
}

const KOVA_TemplateProperty& KOVA_TemplateProperty::withID(ID id)
{
    return all()[static_cast<std::size_t>(id)];
}

const KOVA_TemplateProperty* KOVA_TemplateProperty::named(const QString& name)
{
    static const QHash<QString, const KOVA_TemplateProperty*> byName = [] {
        QHash<QString, const KOVA_TemplateProperty*> made;
        for (const KOVA_TemplateProperty& row : all())
            made.insert(row.name, &row);
        return made;
    }();
    return byName.value(name, nullptr);
}
