#pragma once

#include <QDialog>
#include <QImage>
#include <QUrl>

class QLabel;

// A non-modal preview of a job's item, standing in for a quick look: pictures
// are decoded, a PDF shows its first page, anything else its icon and name.
// Space closes it; arrow keys go to the list it previews.
class JobPreviewDialog : public QDialog {
public:
    static constexpr int previewSide = 720;

    JobPreviewDialog(QWidget* keyTarget, QWidget* parent);

    void showItem(const QUrl& url);
    // The picture the preview shows for `url`; null when it is none.
    static QImage picture(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* m_keyTarget;
    QLabel* m_image;
    QLabel* m_name;
};
