#include "editor/canvas/CanvasScene.h"

void CanvasScene::update(const KOVA_Template::List& layers, const KOVA_Template::List& selected, bool showsLayerFrames)
{
    ++m_generation;
    m_waiting.clear();
    QSet<const Item*> unclaimed;
    for (const ItemPointer& item : std::as_const(m_items)) {
        m_waiting.insert(item.get());
        unclaimed.insert(item.get());
    }
    for (qsizetype index = 0; index < layers.size(); ++index) {
        const KOVA_Template::Pointer& layer = layers.at(index);
        const ItemPointer item = claimItem(layer);
        unclaimed.remove(item.get());
        placeAtIndex(item, index);
        item->frame = layer->frame();
        item->gravity = Qt::AlignCenter;
        item->rotation = layer->rotation().value_or(0.0);
        item->selected = selected.contains(layer);
        item->borderWidth = !item->selected && showsLayerFrames ? layerFrameWidth : 0.0;
    }
    m_items.removeIf([&](const ItemPointer& item) { return unclaimed.contains(item.get()); });
    m_itemForLayer.removeIf([&](const auto& entry) { return unclaimed.contains(entry.value().get()); });
}

void CanvasScene::clear()
{
    ++m_generation;
    m_items.clear();
    m_itemForLayer.clear();
    m_waiting.clear();
}

void CanvasScene::emptyImages()
{
    ++m_generation;
    m_waiting.clear();
    for (const ItemPointer& item : std::as_const(m_items)) {
        item->image = QImage();
        item->ticket = 0;
        // Nothing is selected in the whole-template view: the ants give way to the frame.
        item->selected = false;
        item->borderWidth = layerFrameWidth;
    }
}

quint64 CanvasScene::requestImage(const KOVA_Template* layer)
{
    const ItemPointer item = itemForLayer(layer);
    return item ? item->ticket = ++m_lastTicket : 0;
}

bool CanvasScene::setImage(const KOVA_Template* layer, quint64 ticket, const QImage& image, double margin)
{
    const ItemPointer item = itemForLayer(layer);
    if (!item || ticket == 0 || item->ticket != ticket)
        return false;
    item->image = image;
    item->imageMargin = margin;
    item->ticket = 0;
    m_waiting.remove(item.get());
    return m_waiting.isEmpty();
}

void CanvasScene::showFrame(const KOVA_Template* layer, const QRectF& frame, Qt::Alignment gravity)
{
    if (const ItemPointer item = itemForLayer(layer)) {
        item->frame = frame;
        item->gravity = gravity;
    }
}

void CanvasScene::restoreFrames()
{
    for (const ItemPointer& item : std::as_const(m_items))
        if (const KOVA_Template::Pointer layer = item->layer.lock()) {
            item->frame = layer->frame();
            item->gravity = Qt::AlignCenter;
        }
}

CanvasScene::ItemPointer CanvasScene::itemForLayer(const KOVA_Template* layer) const
{
    const ItemPointer item = m_itemForLayer.value(layer);
    // An address may come back for a new layer once the old one is gone.
    return item && item->layer.lock().get() == layer ? item : nullptr;
}

CanvasScene::ItemPointer CanvasScene::claimItem(const KOVA_Template::Pointer& layer)
{
    if (ItemPointer item = itemForLayer(layer.get()))
        return item;
    auto item = std::make_shared<Item>();
    item->layer = layer;
    if (const ItemPointer stale = m_itemForLayer.value(layer.get()))
        m_items.removeOne(stale);
    m_itemForLayer.insert(layer.get(), item);
    m_items.append(item);
    return item;
}

void CanvasScene::placeAtIndex(const ItemPointer& item, qsizetype index)
{
    const qsizetype current = m_items.indexOf(item);
    if (current != index && m_items.size() > index)
        m_items.move(current, index);
}
