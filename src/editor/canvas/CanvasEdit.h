#pragma once

#include "template/KOVA_Template.h"

#include <QList>
#include <QRectF>

#include <optional>

// What the canvas view does after one input of the canvas gesture: draw live
// feedback, or make one edit of the template through its undoable registrations.
struct CanvasEdit {
    enum class Kind {
        none,         // nothing to change (a key that is not the canvas's goes on to the parent)
        showFrames,   // live feedback: draw the layers at `frames`; the model is unchanged
        moveLayers,   // give each layer its frame in `frames`, as one undoable step
        selectLayers, // select `layers`, extending the selection or replacing it, undoably
        markLayers,   // the live marquee: the selection becomes exactly `layers`, without undo
        deleteLayers, // delete the selected layers (`layers`)
        abortDrag,    // the move was cancelled: draw the layers where the model has them again
    };

    struct LayerFrame {
        KOVA_Template::Pointer layer;
        QRectF frame;
        bool operator==(const LayerFrame&) const = default;
    };

    Kind kind = Kind::none;
    QList<LayerFrame> frames;
    KOVA_Template::List layers;
    bool byExtendingSelection = false;
    // How the resized layer's last image sits in its live frame (the side that stays).
    std::optional<Qt::Alignment> gravity;
    // The marquee to draw, in widget points; none when no marquee is shown.
    std::optional<QRectF> marquee;
};
