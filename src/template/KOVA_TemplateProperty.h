#pragma once

#include <QString>
#include <QVariant>

#include <cstddef>
#include <span>

class KOVA_Template;

// One observable property of templates and layers, as a row of the one property table:
// its name, how it is read and set through a QVariant, and the value-map entry it
// writes, and the name its change has in the editor's Undo menu. Every key
// KOVA_Template announces is a row: the setters announce by ID and take the name from
// here, and valueForKey answers through the row's getter, so a property that announces
// a change always answers its new value. The editor's undoable property edits are one
// registration over these rows, and its inspector sends its edits by row.
struct KOVA_TemplateProperty {
    // One per row, in table order.
    enum class ID : unsigned {
        // The template, its layer list, counting, saving and rendering.
        layers,
        layersSelected,
        changeCount,
        hasUnsavedChanges,
        layerType,
        thumbnail,
        // Geometry.
        frame,
        x,
        y,
        width,
        height,
        rotation,
        autorotate,
        // Shadow.
        shadowOffsetX,
        shadowOffsetY,
        shadowBlur,
        shadowColorCode,
        shadowOpacity,
        hasShadow,
        // Border.
        borderWidth,
        borderColorCode,
        borderOpacity,
        hasBorder,
        borderClipsContent,
        // Background.
        backgroundColorCode,
        backgroundOpacity,
        hasBackground,
        // Text.
        key,
        textAlignment,
        textColorCode,
        textOpacity,
        stampFormat,
        fontName,
        fontSize,
        stringValue,
        // Files, order, gravity.
        graphicPath,
        filepathCustomImage,
        zLevelString,
        gravity,
        // Not a property: the number of IDs.
        Count,
    };

    // The present value, as valueForKey answers it (and observers receive it).
    using Getter = QVariant (*)(const KOVA_Template& object);
    // Sets the value through the property's setter (with its rules and announcements).
    using Setter = void (*)(KOVA_Template& object, const QVariant& value);

    ID id;
    // The key observers and valueForKey use.
    QString name;
    Getter getter;
    // None for values that change through operations of their own (the layer list,
    // the selection, counting, saving, rendering).
    Setter setter;
    // The value-map entry the setter writes; empty for values kept outside the map.
    QString storedKey;
    // What the Undo menu calls a change of this property made in the editor ("Change
    // Font Size"): the property is one the editor edits on its own. Empty for values the
    // editor changes through operations of their own (frames, the stacking order, the
    // layer list) or not at all.
    QString undoActionName = {};

    // Every row, in ID order.
    static std::span<const KOVA_TemplateProperty> all();
    static const KOVA_TemplateProperty& withID(ID id);
    // The row of that name, or none.
    static const KOVA_TemplateProperty* named(const QString& name);
};
