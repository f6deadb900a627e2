#include "app/preferences/PreferencesTabViewController.h"

#include "app/preferences/PreferencesPaneSize.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/DispatchQueue.h"

#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QStringList>

#include <algorithm>
#include <chrono>

namespace {
constexpr std::chrono::milliseconds resizeDelay(50);
}

PreferencesTabViewController::PreferencesTabViewController(QWidget* parent) : QTabWidget(parent)
{
    // The least width then holds the whole row of tabs, labels in full.
    setUsesScrollButtons(false);
    setElideMode(Qt::ElideNone);
    connect(this, &QTabWidget::currentChanged, this, &PreferencesTabViewController::didSelectTabViewItem);
}

void PreferencesTabViewController::addPane(QWidget* pane, const QString& label)
{
    addTab(pane, label);
}

void PreferencesTabViewController::viewDidLoad()
{
    setCurrentIndex(storedIndex());
    m_viewHasLoaded = true;
}

void PreferencesTabViewController::viewWillAppear()
{
    setCurrentIndex(storedIndex());
    if (const std::optional<QSize> size = paneSize(currentIndex())) {
        window()->setMinimumSize(*size);
        window()->resize(*size);
    }
}

std::optional<QSize> PreferencesTabViewController::paneSize(int index) const
{
    if (index < 0 || index >= count())
        return std::nullopt;
    std::optional<QSize> size = PreferencesPaneSize::sizeForIdentifier(widget(index)->objectName());
    if (!size)
        return std::nullopt;
    const QLayout* around = window()->layout();
    const QMargins margins = around ? around->contentsMargins() : QMargins();
    size->setWidth(std::max(size->width(), minimumSizeHint().width() + margins.left() + margins.right()));
    return size;
}

void PreferencesTabViewController::showEvent(QShowEvent* event)
{
    QTabWidget::showEvent(event);
    viewWillAppear();
}

int PreferencesTabViewController::storedIndex() const
{
    const qint64 stored = platform::UserDefaults::standardUserDefaults()->integerForKey(selectedIndexKey);
    return stored >= 0 && stored < count() ? int(stored) : 0;
}

void PreferencesTabViewController::didSelectTabViewItem(int index)
{
    if (!m_viewHasLoaded || index < 0)
        return;
    platform::Log::log(QStringLiteral("-[PreferencesTabViewController tabView:didSelectTabViewItem:] %1 label=%2")
                           .arg(index)
                           .arg(tabText(index)));
    platform::UserDefaults::standardUserDefaults()->setObject(quint64(index), selectedIndexKey);
    QPointer<PreferencesTabViewController> self(this);
    QPointer<QWidget> pane(widget(index));
    platform::DispatchQueue::main()->after(resizeDelay, [self, pane] {
        if (self && pane)
            self->configureTabView(self->indexOf(pane));
    });
}

void PreferencesTabViewController::logTabItems(int index) const
{
    platform::Log::log(QStringLiteral("label[%1] > identifier[%2]").arg(tabText(index), widget(index)->objectName()));
    QStringList labels;
    for (int i = 0; i < count(); ++i)
        labels.append(tabText(i));
    platform::Log::log(QStringLiteral("tabvieitems labels = (%1)").arg(labels.join(QStringLiteral(", "))));
    for (int i = 0; i < count(); ++i)
        platform::Log::log(QStringLiteral("tabviewItem[%1} = idnetifier[%2}").arg(tabText(i), widget(i)->objectName()));
}

void PreferencesTabViewController::configureTabView(int index)
{
    if (index < 0 || index >= count())
        return;
    logTabItems(index);
    const std::optional<QSize> size = paneSize(index);
    if (!size)
        return;
    QWidget* window = this->window();
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    const QSize margins = frame.size() - client.size();
    const QRect available = window->screen() ? window->screen()->availableGeometry() : QRect();
    const std::optional<QRect> resized = PreferencesPaneSize::resizedFrame(frame, available, *size + margins);
    if (!resized)
        return;
    window->setMinimumSize(*size);
    window->resize(*size);
    // A top-level move places the outer frame.
    window->move(resized->topLeft());
}
