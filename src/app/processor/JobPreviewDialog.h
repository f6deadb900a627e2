#pragma once

#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QUrl>

#include <functional>

class QHBoxLayout;
class QLabel;
class QPushButton;

// A non-modal preview of a job's items, standing in for a quick look: pictures
// are decoded, a PDF shows its first page, anything else its icon and name.
// The items come from a data source and are stepped through with the previous
// and next buttons or Page Up and Page Down. Space closes it; arrow keys go to
// the list it previews, which reloads it when its selection changes. The dialog,
// its frame included, stays inside the available area of its screen: a picture too
// large for it is shown smaller, keeping its proportions.
class JobPreviewDialog : public QDialog {
public:
    static constexpr int previewSide = 720;

    struct DataSource {
        std::function<int()> numberOfPreviewItems;
        // The item at an index within the count; an empty URL when it has none.
        std::function<QUrl(int index)> previewItemAtIndex;
    };

    JobPreviewDialog(QWidget* keyTarget, DataSource source, QWidget* parent);

    // Shows the item at `index`, kept within the items, and remembers it.
    void setCurrentItemIndex(int index);
    int currentItemIndex() const { return m_index; }
    QUrl currentItemURL() const { return m_url; }
    // Asks the data source again and shows the current item anew.
    void reloadData() { setCurrentItemIndex(m_index); }

    // The picture the preview shows for `path`; null when it is none.
    static QImage picture(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showItem(int count);
    // The largest picture the dialog can show inside the available screen, beside its
    // frame, margins and buttons; never more than the preview side.
    QSize pictureRoom() const;
    // `picture` made small enough for the room; a smaller one stays as it is.
    QPixmap fitted(const QImage& picture) const;
    // Grows the dialog to its picture and moves it, frame and all, inside the screen.
    void keepInsideScreen();

    QWidget* m_keyTarget;
    DataSource m_source;
    QLabel* m_image;
    QLabel* m_name;
    QHBoxLayout* m_buttons;
    QPushButton* m_previous;
    QPushButton* m_next;
    int m_index = 0;
    QUrl m_url;
};
