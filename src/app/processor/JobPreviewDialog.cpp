#include "app/processor/JobPreviewDialog.h"

#include "core/image/ZORVAK_ImageBitmaps.h"
#include "platform/files/UTType.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

JobPreviewDialog::JobPreviewDialog(QWidget* keyTarget, DataSource source, QWidget* parent)
    : QDialog(parent)
    , m_keyTarget(keyTarget)
    , m_source(std::move(source))
    , m_image(new QLabel(this))
    , m_name(new QLabel(this))
    , m_previous(new QPushButton(QStringLiteral("‹"), this))
    , m_next(new QPushButton(QStringLiteral("›"), this))
{
    setObjectName(QStringLiteral("previewPanel"));
    setModal(false);
    m_image->setAlignment(Qt::AlignCenter);
    m_name->setAlignment(Qt::AlignCenter);
    for (QPushButton* button : { m_previous, m_next })
        button->setFocusPolicy(Qt::NoFocus);
    connect(m_previous, &QPushButton::clicked, this, [this] { setCurrentItemIndex(m_index - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { setCurrentItemIndex(m_index + 1); });
    auto* row = new QHBoxLayout;
    row->addWidget(m_previous);
    row->addWidget(m_name, 1);
    row->addWidget(m_next);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_image, 1);
    layout->addLayout(row);
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

void JobPreviewDialog::setCurrentItemIndex(int index)
{
    const int count = std::max(m_source.numberOfPreviewItems(), 0);
    m_index = std::clamp(index, 0, std::max(count - 1, 0));
    m_url = count > 0 ? m_source.previewItemAtIndex(m_index) : QUrl();
    showItem(count);
}

void JobPreviewDialog::showItem(int count)
{
    const QString path = m_url.toLocalFile();
    const QFileInfo item(path);
    setWindowTitle(item.fileName());
    m_name->setText(count > 1 ? tr("%1 (%2 of %3)").arg(item.fileName()).arg(m_index + 1).arg(count) : item.fileName());
    m_previous->setEnabled(m_index > 0);
    m_next->setEnabled(m_index + 1 < count);
    const QImage shown = picture(path);
    if (!shown.isNull())
        m_image->setPixmap(QPixmap::fromImage(shown));
    else if (!path.isEmpty())
        m_image->setPixmap(QFileIconProvider().icon(item).pixmap(128, 128));
    else
        m_image->clear();
}

void JobPreviewDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->text() == QStringLiteral(" ")) {
        close();
        return;
    }
    switch (event->key()) {
    case Qt::Key_PageUp:
        setCurrentItemIndex(m_index - 1);
        return;
    case Qt::Key_PageDown:
        setCurrentItemIndex(m_index + 1);
        return;
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
