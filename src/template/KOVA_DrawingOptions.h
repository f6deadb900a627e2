#pragma once

#include <QSizeF>
#include <QString>

#include <optional>

class KOVA_Template;
class ZORVAK_Image;

// How the compositor draws one picture where it is placed: fit gravity, background,
// turn, border and shadow. A layer gives them from its properties, a placement node
// from its own settings; what is left unset keeps the picture's defaults.
struct KOVA_DrawingOptions {
    struct Border {
        QString colorCode;
        double width = 0;
        bool clipsContent = true;
    };
    struct Shadow {
        QString colorCode;
        std::optional<double> blur;
        std::optional<QSizeF> offset;
    };

    QString gravity;
    std::optional<QString> backgroundColorCode;
    std::optional<double> rotation;
    std::optional<Border> border;
    std::optional<Shadow> shadow;

    // The layer's gravity and rotation, its background when it has one, its border
    // (drawn `borderWidth` wide) and its shadow.
    static KOVA_DrawingOptions ofLayer(const KOVA_Template& layer, double borderWidth);

    void applyTo(ZORVAK_Image& picture) const;
};
