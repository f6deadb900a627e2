#include "printing/ui/ZORVAK_PrintPanel.h"

#include "platform/Log.h"
#include "platform/observation/KeyValueObserver.h"
#include "platform/observation/Observable.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/pages/ZORVAK_USBPrinter.h"
#include "printing/profiles/ZORVAK_ColorProfiles.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

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
    const QRect frame = geometry();
    animation->setEndValue(QRect(frame.center(), QSize(1, 1)));
    connect(animation, &QPropertyAnimation::finished, this, [this] { finish(true); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void ZORVAK_PrintPanel::cancelPrint()
{
    if (m_closing)
        return;
    m_closing = true;
    auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
    fade->setDuration(cancelFadeMilliseconds);
    fade->setEndValue(0.0);
    connect(fade, &QPropertyAnimation::finished, this, [this] { finish(false); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
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
    auto* chooser = new QFileDialog(this, QStringLiteral("Select color profile"));
    chooser->setFileMode(QFileDialog::ExistingFile);
    chooser->setNameFilter(QStringLiteral("(*.icc *.icm *.ICC *.ICM)"));
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    connect(chooser, &QFileDialog::urlSelected, this, [this](const QUrl& url) {
        platform::Log::log(QStringLiteral("setting color profile:%1").arg(url.toString()));
        if (m_page)
            ZORVAK_ColorProfiles::copyAndSetColorProfile(url, *m_page);
    });
    chooser->open();
}
