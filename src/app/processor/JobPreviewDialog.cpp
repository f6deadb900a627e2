#include "app/processor/JobPreviewDialog.h"

#include "core/image/ZORVAK_ImageBitmaps.h"
#include "core/ui/WindowFit.h"
#include "platform/files/UTType.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
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
    , m_buttons(new QHBoxLayout)
{
    setObjectName(QStringLiteral("previewPanel"));
    setModal(false);
    m_image->setAlignment(Qt::AlignCenter);
    m_name->setAlignment(Qt::AlignCenter);
    for (QPushButton* button : { m_previous, m_next })
        button->setFocusPolicy(Qt::NoFocus);
    connect(m_previous, &QPushButton::clicked, this, [this] { setCurrentItemIndex(m_index - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { setCurrentItemIndex(m_index + 1); });
    m_buttons->addWidget(m_previous);
    m_buttons->addWidget(m_name, 1);
    m_buttons->addWidget(m_next);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_image, 1);
    layout->addLayout(m_buttons);
    // Before it is shown the frame is a guess; the real one is fitted once it comes.
    WindowFit::fitOnceFramed(*this, [this] { keepInsideScreen(); });
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
        m_image->setPixmap(fitted(shown));
    else if (!path.isEmpty())
        m_image->setPixmap(QFileIconProvider().icon(item).pixmap(128, 128));
    else
        m_image->clear();
    keepInsideScreen();
}

QSize JobPreviewDialog::pictureRoom() const
{
    const QSize most(previewSide, previewSide);
    const QScreen* shownOn = screen();
    if (!shownOn)
        return most;
    const int below = layout()->spacing() + m_buttons->sizeHint().height();
    const QSize room = shownOn->availableGeometry()
                           .size()
                           .shrunkBy(WindowFit::frameMargins(*this))
                           .shrunkBy(layout()->contentsMargins())
                           .shrunkBy(QMargins(0, 0, 0, below));
    return room.boundedTo(most).expandedTo(QSize(1, 1));
}

QPixmap JobPreviewDialog::fitted(const QImage& picture) const
{
    const QSize room = pictureRoom();
    if (picture.width() <= room.width() && picture.height() <= room.height())
        return QPixmap::fromImage(picture);
    return QPixmap::fromImage(picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void JobPreviewDialog::keepInsideScreen()
{
    const QScreen* shownOn = screen();
    if (!isVisible() || !shownOn)
        return;
    layout()->activate();
    WindowFit::fitInside(*this, shownOn->availableGeometry());
}

void JobPreviewDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    keepInsideScreen();
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
