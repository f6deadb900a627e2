#include "printing/ui/ZORVAK_PrintPanel.h"

#include "core/queues/ZORVAK_Dispatch.h"
#include "core/ui/ZORVAK_NSObjectOpenSave.h"
#include "platform/Log.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/observation/KeyValueObserver.h"
#include "platform/observation/Observable.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/pages/ZORVAK_USBPrinter.h"
#include "printing/profiles/ZORVAK_ColorProfiles.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include <chrono>

namespace {

// The page's colour management that renders into its own ICC profile.
constexpr qint32 ProfileColorManagement = 2;

// Runs its block on every announcement it is registered for.
class ChangeObserver : public platform::KeyValueObserver {
public:
    explicit ChangeObserver(std::function<void()> block)
        : m_block(std::move(block))
    {
    }
    void observeValueForKeyPath(const QString&, platform::Observable&, const QVariantMap&, const void*) override { m_block(); }

private:
    std::function<void()> m_block;
};

} // namespace

ZORVAK_PrintPanel::ZORVAK_PrintPanel(std::shared_ptr<ZORVAK_PrintPage> page, QWidget* parent)
    : ZORVAK_PrintPageWindow(parent)
    , m_page(std::move(page))
{
    m_preview = new QLabel(this);
    if (m_page) {
        // The page may announce a new preview on any thread; the label is updated on this one.
        m_previewObserver = std::make_shared<ChangeObserver>(
            [this] { QMetaObject::invokeMethod(this, &ZORVAK_PrintPanel::showPreview, Qt::QueuedConnection); });
        m_page->addObserver(m_previewObserver, ZORVAK_PrintPage::ImagePreviewKey, 0, nullptr);
        showPreview();
    }
    auto* profiles = new QToolButton(this);
    profiles->setText(tr("Color Profile"));
    profiles->setPopupMode(QToolButton::InstantPopup);
    m_profileMenu = new QMenu(profiles);
    m_profileMenu->setObjectName(QStringLiteral("menuCustomColorProfile"));
    profiles->setMenu(m_profileMenu);
    connect(m_profileMenu, &QMenu::aboutToShow, this, &ZORVAK_PrintPanel::menuNeedsUpdate);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    auto* print = new QPushButton(tr("Print"), this);
    print->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &ZORVAK_PrintPanel::cancelPrint);
    connect(print, &QPushButton::clicked, this, &ZORVAK_PrintPanel::printPage);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(profiles);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(print);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_preview);
    layout->addLayout(buttons);
    setWindowTitle(title());
    awakeFromNib();
}

// Appears centred on its screen, in front and active, fading in.
void ZORVAK_PrintPanel::awakeFromNib()
{
    platform::Log::log(QLatin1String(Q_FUNC_INFO));
    adjustSize();
    if (const QScreen* shownOn = screen())
        move(shownOn->availableGeometry().center() - rect().center());
    setWindowOpacity(0.0);
    show();
    raise();
    activateWindow();
    m_fadeIn = new QPropertyAnimation(this, "windowOpacity", this);
    m_fadeIn->setDuration(fadeInMilliseconds);
    m_fadeIn->setEndValue(1.0);
    m_fadeIn->start(QAbstractAnimation::DeleteWhenStopped);
}

ZORVAK_PrintPanel::~ZORVAK_PrintPanel()
{
    if (m_previewObserver)
        m_page->removeObserver(m_previewObserver.get(), ZORVAK_PrintPage::ImagePreviewKey, nullptr);
}

void ZORVAK_PrintPanel::showPreview()
{
    m_preview->setPixmap(QPixmap::fromImage(m_page->imagePreview()));
}

QString ZORVAK_PrintPanel::title() const
{
    if (!m_page)
        return {};
    if (const auto printer = m_page->printer())
        return printer->description();
    const QList<QUrl> images = m_page->inputImages();
    return images.isEmpty() ? QString() : QFileInfo(images.first().toLocalFile()).fileName();
}

void ZORVAK_PrintPanel::printPage()
{
    if (m_closing)
        return;
    m_closing = true;
    if (!m_page || !m_page->printer()) {
        // A page without a printer goes nowhere; it must not be reported as sent.
        platform::Log::error(QStringLiteral("the print page has no printer, nothing was printed"));
        finish(false);
        return;
    }
    m_page->print();
    auto* animation = new QPropertyAnimation(this, "geometry", this);
    animation->setDuration(printAnimationMilliseconds);
    animation->setEndValue(QRect(geometry().center(), QSize(1, 1)));
    animateClosing(animation, true);
}

void ZORVAK_PrintPanel::cancelPrint()
{
    if (m_closing)
        return;
    m_closing = true;
    auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
    fade->setDuration(cancelFadeMilliseconds);
    fade->setEndValue(0.0);
    animateClosing(fade, false);
}

// The completion is timed on the dispatch clock rather than by the animation's
// end, so that it comes after the animation's duration whatever the frame rate.
void ZORVAK_PrintPanel::animateClosing(QPropertyAnimation* animation, bool printed)
{
    if (m_fadeIn)
        m_fadeIn->stop();
    const std::chrono::milliseconds duration(animation->duration());
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    platform::DispatchQueue::main()->after(duration, [panel = QPointer<ZORVAK_PrintPanel>(this), printed] {
        if (panel)
            panel->finish(printed);
    });
}

void ZORVAK_PrintPanel::finish(bool printed)
{
    if (m_completionBlock)
        m_completionBlock(printed);
    close();
}

void ZORVAK_PrintPanel::menuNeedsUpdate()
{
    if (ZORVAK_ColorProfiles::colorProfiles() != m_colorProfiles || m_profileMenu->isEmpty())
        rebuildProfileMenu();
    else
        updateProfileMarks();
}

void ZORVAK_PrintPanel::rebuildProfileMenu()
{
    m_colorProfiles = ZORVAK_ColorProfiles::colorProfiles();
    m_profileMenu->clear();
    const QVariantMap* previous = nullptr;
    for (const QVariantMap& profile : m_colorProfiles) {
        if (previous && previous->value("model") != profile.value("model"))
            m_profileMenu->addSeparator();
        QAction* item = m_profileMenu->addAction(profile.value("name").toString());
        item->setData(profile.value("url"));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, item] { setColorProfileFromMenuItem(item); });
        previous = &profile;
    }
    m_profileMenu->addSeparator();
    m_profileMenu->addAction(QStringLiteral("Other Color Profile…"), this, &ZORVAK_PrintPanel::setColorProfile);
    updateProfileMarks();
}

void ZORVAK_PrintPanel::updateProfileMarks()
{
    const bool usesProfile = m_page && m_page->colorManagement() == ProfileColorManagement;
    for (QAction* item : m_profileMenu->actions()) {
        if (item->isCheckable())
            item->setChecked(usesProfile && item->data().toUrl() == m_page->printerProfileICC());
    }
}

void ZORVAK_PrintPanel::setColorProfileFromMenuItem(QAction* item)
{
    if (!m_page)
        return;
    m_page->setPrinterProfileICC(item->data().toUrl());
    m_page->setColorManagement(ProfileColorManagement);
    item->setChecked(true);
}

void ZORVAK_PrintPanel::setColorProfile()
{
    openPanelChooseColorProfileInWindow(this, QStringLiteral("Select color profile"),
        [panel = QPointer<ZORVAK_PrintPanel>(this)](const QList<QUrl>& urls) {
            if (!panel || urls.isEmpty())
                return;
            platform::Log::log(QStringLiteral("setting color profile:%1").arg(urls.first().toString()));
            panel->copyAndSetColorProfile(urls.first());
        });
}

void ZORVAK_PrintPanel::doCustomColorProfile()
{
    if (!m_page || m_page->colorManagement() != ProfileColorManagement)
        return;
    ZORVAK_Dispatch::performAsyncOnMainQueue([panel = QPointer<ZORVAK_PrintPanel>(this)] {
        if (panel)
            panel->setColorProfile();
    });
}

bool ZORVAK_PrintPanel::copyAndSetColorProfile(const QUrl& url)
{
    return m_page && ZORVAK_ColorProfiles::copyAndSetColorProfile(url, *m_page);
}

void ZORVAK_PrintPanel::adjustWidth(QWidget* sender)
{
    auto* control = qobject_cast<QAbstractButton*>(sender);
    if (!control || control->text().isEmpty())
        return;
    auto* animation = new QPropertyAnimation(control, "size", control);
    animation->setEndValue(control->sizeHint());
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void ZORVAK_PrintPanel::openPanelChooseColorProfileInWindow(QWidget* window, const QString& message, ChooserReply reply)
{
    QVariantMap options{
        {QStringLiteral("message"), message},
        {QStringLiteral("canChooseFiles"), true},
        {QStringLiteral("canChooseDirectories"), false},
        {QStringLiteral("allowsMultipleSelection"), false},
        {QStringLiteral("allowedFileTypes"), QStringList{QStringLiteral("icc"), QStringLiteral("icm")}},
    };
    if (window)
        options.insert(QStringLiteral("window"), QVariant::fromValue(window));
    ZORVAK_NSObjectOpenSave::openPanelWithOptions(options, [reply = std::move(reply)](QFileDialog* panel, int response) {
        reply(response == ZORVAK_NSObjectOpenSave::kResponseOK ? panel->selectedUrls() : QList<QUrl>());
    });
}
