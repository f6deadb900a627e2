#include "app/processor/PreviewSplitter.h"

#include <QMouseEvent>
#include <QSplitterHandle>

namespace {

class DividerHandle : public QSplitterHandle {
public:
    DividerHandle(Qt::Orientation orientation, PreviewSplitter* splitter)
        : QSplitterHandle(orientation, splitter)
        , m_splitter(splitter)
    {
    }

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return QSplitterHandle::mouseDoubleClickEvent(event);
        m_splitter->toggleCollapsibleSubview(m_splitter->indexOf(this));
    }

private:
    PreviewSplitter* m_splitter;
};

} // namespace

PreviewSplitter::PreviewSplitter(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent)
{
}

QSplitterHandle* PreviewSplitter::createHandle()
{
    return new DividerHandle(orientation(), this);
}

void PreviewSplitter::toggleCollapsibleSubview(int handleIndex)
{
    // The divider lies between subviews handleIndex - 1 and handleIndex; the later one
    // is asked first.
    int subview = -1;
    for (const int candidate : { handleIndex, handleIndex - 1 }) {
        if (subview < 0 && candidate >= 0 && candidate < count() && isCollapsible(candidate))
            subview = candidate;
    }
    if (subview < 0)
        return;
    const int neighbour = subview == handleIndex ? handleIndex - 1 : handleIndex;
    QList<int> current = sizes();
    if (current.at(subview) > 0) {
        m_expandedSizes = current;
        current[neighbour] += current.at(subview);
        current[subview] = 0;
    } else if (m_expandedSizes.size() == count() && m_expandedSizes.at(subview) > 0) {
        current = m_expandedSizes;
    } else {
        // Collapsed by dragging: it comes back with a third of its neighbour's room.
        current[subview] = current.at(neighbour) / 3;
        current[neighbour] -= current.at(subview);
    }
    setSizes(current);
}
