#pragma once

#include <QList>
#include <QSplitter>

// The processor's split view, the pending list above the preview. A double click on
// a divider collapses the subview next to it that may collapse (the preview), and a
// second one brings it back at the height it had.
class PreviewSplitter : public QSplitter {
public:
    explicit PreviewSplitter(Qt::Orientation orientation, QWidget* parent = nullptr);

    // What a double click on the divider before subview `handleIndex` does.
    void toggleCollapsibleSubview(int handleIndex);

protected:
    QSplitterHandle* createHandle() override;

private:
    QList<int> m_expandedSizes;
};
