#pragma once

#include "template/KOVA_Template.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QSet>

#include <memory>

// What the canvas shows of each template layer while layers are selected: one item
// per layer, in the layers' z order (last on top), each with its own preview image.
// Items are found again by layer identity from pass to pass and moved only when
// their index differs, so only the images are rendered anew.
//
// Every image asked for an item gets a ticket; an image whose ticket is no longer the
// item's (a later request took its place, or the scene was emptied for the
// whole-template preview) is dropped. Used on the main thread only.
class CanvasScene {
public:
    // One template layer as the canvas draws it, in template units.
    struct Item {
        std::weak_ptr<KOVA_Template> layer;
        QImage image;
        double imageMargin = 0;                  // how far the image reaches past the frame on each side
        quint64 ticket = 0;                      // of the image awaited, 0 for none
        QRectF frame;                            // unrotated, template units
        double rotation = 0;                     // radians, about the frame's centre
        Qt::Alignment gravity = Qt::AlignCenter; // where the image sits when its size differs
        bool selected = false;                   // drawn with marching ants
        double borderWidth = 0;                  // grey frame width, 0 for none
    };
    using ItemPointer = std::shared_ptr<Item>;

    static constexpr double layerFrameWidth = 3.0;

    // Brings the items in line with `layers`: reuses, creates, reorders and drops them,
    // and starts a pass whose images the caller then requests. Items of selected layers
    // get the ants, the others the grey frame when `showsLayerFrames` is on.
    void update(const KOVA_Template::List& layers, const KOVA_Template::List& selected, bool showsLayerFrames);
    // Drops every item (the whole-template preview is shown alone).
    void clear();
    // Keeps the items but empties their images; every item, none selected now, gets the
    // grey frame (the frames stay over the preview).
    void emptyImages();
    // Counts the passes, clearing and emptying: a flattened preview asked for in an
    // earlier generation is no longer wanted.
    quint64 generation() const { return m_generation; }

    // The ticket of a new image for the layer's item; 0 when it has none.
    quint64 requestImage(const KOVA_Template* layer);
    // Stores the image, reaching `margin` past the frame on each side, when `ticket` is
    // still its item's. True when every item shown at the start of the pass has had its
    // image since: the flattened preview underneath can go.
    bool setImage(const KOVA_Template* layer, quint64 ticket, const QImage& image, double margin = 0);

    // Live feedback: draws the layer's item at `frame`, its image placed by `gravity`.
    void showFrame(const KOVA_Template* layer, const QRectF& frame, Qt::Alignment gravity);
    // Every item back at its layer's frame.
    void restoreFrames();

    const QList<ItemPointer>& items() const { return m_items; }
    ItemPointer itemForLayer(const KOVA_Template* layer) const;

private:
    ItemPointer claimItem(const KOVA_Template::Pointer& layer);
    void placeAtIndex(const ItemPointer& item, qsizetype index);

    QList<ItemPointer> m_items;
    QHash<const KOVA_Template*, ItemPointer> m_itemForLayer;
    QSet<const Item*> m_waiting; // items shown when the pass began, still without their image
    quint64 m_generation = 0;
    quint64 m_lastTicket = 0;
};
