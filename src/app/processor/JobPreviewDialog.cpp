#include "app/processor/JobPreviewDialog.h"

#include "core/image/ZORVAK_ImageBitmaps.h"
#include "platform/files/UTType.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

JobPreviewDialog::JobPreviewDialog(QWidget* keyTarget, QWidget* parent)
    : QDialog(parent)
    , m_keyTarget(keyTarget)
    , m_image(new QLabel(this))
    , m_name(new QLabel(this))
{
    setObjectName(QStringLiteral("previewPanel"));
    setModal(false);
    m_image->setAlignment(Qt::AlignCenter);
    m_name->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_image, 1);
    layout->addWidget(m_name);
}

QImage JobPreviewDialog::picture(const QString& path)
{
    const QFileInfo item(path);
    if (!item.isFile())
        return {};
    const QString type = platform::UTType::typeOfItemAtPath(path);
    if (platform::UTType::conformsTo(type, QStringLiteral("com.adobe.pdf")))
        return ZORVAK_ImageBitmaps::imageWithPDFObject(path, QSizeF(previewSide, previewSide));
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > previewSide || size.height() > previewSide))
        reader.setScaledSize(size.scaled(previewSide, previewSide, Qt::KeepAspectRatio));
    return reader.read();
}

void JobPreviewDialog::showItem(const QUrl& url)
{
    const QString path = url.toLocalFile();
    const QFileInfo item(path);
    setWindowTitle(item.fileName());
    m_name->setText(item.fileName());
    const QImage shown = picture(path);
    if (!shown.isNull())
        m_image->setPixmap(QPixmap::fromImage(shown));
    else
        m_image->setPixmap(QFileIconProvider().icon(item).pixmap(128, 128));
    show();
    raise();
}

void JobPreviewDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->text() == QStringLiteral(" ")) {
        close();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (m_keyTarget)
            QApplication::sendEvent(m_keyTarget, event);
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
