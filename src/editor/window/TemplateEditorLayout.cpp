#include "editor/window/TemplateEditorLayout.h"

#include "core/queues/ZORVAK_Coalesce.h"
#include "editor/canvas/KOVA_TemplateEditorView.h"
#include "editor/window/LayerTableView.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/text/GeometryText.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {

std::shared_ptr<platform::UserDefaults> defaults()
{
    return platform::UserDefaults::standardUserDefaults();
}

// A double click on the sidebar's divider collapses the sidebar.
class CollapseSidebarOnDoubleClick : public QObject {
public:
    explicit CollapseSidebarOnDoubleClick(QSplitter* splitter)
        : QObject(splitter)
        , m_splitter(splitter)
    {
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::MouseButtonDblClick)
            return false;
        platform::Log::log(
            QStringLiteral("-[KOVA_TemplateEditor splitView:shouldCollapseSubview:forDoubleClickOnDividerAtIndex:]"));
        QList<int> sizes = m_splitter->sizes();
        sizes[1] += sizes[0];
        sizes[0] = 0;
        m_splitter->setSizes(sizes);
        return true;
    }

private:
    QSplitter* m_splitter;
};

// The room left for the window manager's frame before the window was shown could only
// be guessed: once the shown window is framed, `fit` brings the frame inside the
// screen, once. From then on the window is the operator's to move.
class FitOnceFramed : public QObject {
public:
    FitOnceFramed(QWidget& window, std::function<void()> fit)
        : QObject(&window)
        , m_window(window)
        , m_fit(std::move(fit))
    {
        window.installEventFilter(this);
    }

    // The frame comes with no event of its own: the first event that finds it (a paint,
    // as a rule) posts the fit.
    bool eventFilter(QObject*, QEvent*) override
    {
        if (m_window.isVisible() && m_window.frameGeometry() != m_window.geometry()) {
            m_window.removeEventFilter(this);
            QTimer::singleShot(0, &m_window, m_fit);
        }
        return false;
    }

private:
    QWidget& m_window;
    std::function<void()> m_fit;
};

} // namespace

TemplateEditorLayout::TemplateEditorLayout(QMainWindow& window)
    : m_window(window)
{
    mainSplitter = new QSplitter(Qt::Horizontal);
    mainSplitter->setObjectName(mainSplitterKey);
    mainSplitter->setHandleWidth(9);
    mainSplitter->addWidget(makeSidebar());
    canvas = new KOVA_TemplateEditorView;
    canvas->setObjectName(QStringLiteral("viewTemplateEditor"));
    canvas->setInsetTemplate(KOVA_TemplateEditorView::defaultInsetTemplate);
    canvas->setMinimumWidth(canvasDividerMinimum - sidebarMinimumWidth);
    mainSplitter->addWidget(canvas);
    mainSplitter->addWidget(makeAttributes());
    mainSplitter->setCollapsible(0, true);
    mainSplitter->setCollapsible(1, false);
    mainSplitter->setCollapsible(2, false);
    mainSplitter->setStretchFactor(1, 1);
    mainSplitter->setSizes({220, 620, 260});
    mainSplitter->handle(1)->installEventFilter(new CollapseSidebarOnDoubleClick(mainSplitter));
    window.setCentralWidget(mainSplitter);
    refitCanvasWhenDividersMove();
}

void TemplateEditorLayout::refitCanvasWhenDividersMove()
{
    const auto requestRefit = [canvas = QPointer(canvas)] {
        ZORVAK_Coalesce::runOnceForKeyAfterWaiting(QStringLiteral("splitViewDidResizeSubviews:"),
                                                   ZORVAK_Dispatch::Queue(), canvasRefitWait, [canvas] {
                                                       if (canvas)
                                                           canvas->boundsDidChange();
                                                   });
    };
    for (QSplitter* splitter : {mainSplitter, layersSplitter})
        QObject::connect(splitter, &QSplitter::splitterMoved, canvas, requestRefit);
}

QWidget* TemplateEditorLayout::makeSidebar()
{
    sidebar = new QWidget;
    sidebar->setMinimumWidth(sidebarMinimumWidth);
    sidebar->setMaximumWidth(sidebarMaximumWidth);
    templatesTable = makeDocumentTable(QStringLiteral("tableViewTemplates"));
    templatesTable->setSelectionMode(QAbstractItemView::SingleSelection);
    packagesTable = makeDocumentTable(QStringLiteral("tableViewPackages"));
    packagesSearchField = new QLineEdit;
    packagesSearchField->setObjectName(QStringLiteral("searchFieldPackages"));
    packagesSearchField->setPlaceholderText(QStringLiteral("Search Packages"));
    packagesSearchField->setClearButtonEnabled(true);
    auto* layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(4, 4, 0, 4);
    layout->addWidget(new QLabel(QStringLiteral("Templates")));
    layout->addWidget(templatesTable, 3);
    layout->addWidget(new QLabel(QStringLiteral("Packages")));
    layout->addWidget(packagesSearchField);
    layout->addWidget(packagesTable, 2);
    return sidebar;
}

QWidget* TemplateEditorLayout::makeAttributes()
{
    layersSplitter = new QSplitter(Qt::Vertical);
    layersSplitter->setObjectName(layersSplitterKey);
    layersTable = new LayerTableView;
    compact(*layersTable);
    inspectorSlot = new QWidget;
    inspectorSlot->setObjectName(QStringLiteral("inspectorSlot"));
    layersSplitter->addWidget(layersTable);
    layersSplitter->addWidget(inspectorSlot);
    layersSplitter->setChildrenCollapsible(false);
    layersSplitter->setMinimumWidth(200);
    return layersSplitter;
}

void TemplateEditorLayout::compact(QTableView& table)
{
    table.setWordWrap(false);
    table.verticalHeader()->hide();
    table.verticalHeader()->setDefaultSectionSize(table.fontMetrics().height() + 6);
    table.horizontalHeader()->setStretchLastSection(true);
}

QTableView* TemplateEditorLayout::makeDocumentTable(const QString& name)
{
    auto* table = new QTableView;
    table->setObjectName(name);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    compact(*table);
    return table;
}

void TemplateEditorLayout::setInspectorWidget(QWidget* inspector)
{
    if (!inspector || inspector == inspectorSlot)
        return;
    QWidget* replaced = layersSplitter->replaceWidget(1, inspector);
    if (replaced)
        replaced->deleteLater();
    inspectorSlot = inspector;
}

// The window first: the dividers then share out the size it comes back with.
void TemplateEditorLayout::restoreState()
{
    restoreWindowFrame();
    mainSplitter->restoreState(defaults()->dataForKey(mainSplitterKey));
    layersSplitter->restoreState(defaults()->dataForKey(layersSplitterKey));
    templatesTable->horizontalHeader()->restoreState(defaults()->dataForKey(templatesTableKey));
}

// A zoomed window keeps the place and size it goes back to.
void TemplateEditorLayout::saveState() const
{
    defaults()->setObject(platform::GeometryText::stringFromRect(m_window.normalGeometry()), windowFrameKey);
    defaults()->setObject(mainSplitter->saveState(), mainSplitterKey);
    defaults()->setObject(layersSplitter->saveState(), layersSplitterKey);
    defaults()->setObject(templatesTable->horizontalHeader()->saveState(), templatesTableKey);
}

// The stored text is untrusted: a frame without area or far off any screen is none.
void TemplateEditorLayout::restoreWindowFrame()
{
    static const QRectF plausible(-1e6, -1e6, 2e6, 2e6);
    const QRectF saved = platform::GeometryText::rectFromString(defaults()->stringForKey(windowFrameKey));
    const bool usable = saved.width() > 0 && saved.height() > 0 && plausible.contains(saved);
    QRect frame = usable ? saved.toRect() : QRect(QPoint(), m_window.size());
    QScreen* screen = usable ? QGuiApplication::screenAt(frame.center()) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    if (!usable)
        frame.moveCenter(screen->availableGeometry().center());
    m_window.setGeometry(frame);
    fitWindowInside(*screen);
    new FitOnceFramed(m_window, [this] {
        if (QScreen* shownOn = m_window.screen())
            fitWindowInside(*shownOn);
    });
}

void TemplateEditorLayout::fitWindowInside(const QScreen& screen)
{
    const QRect fitted = fittedInside(m_window.geometry(), windowFrameMargins(), screen.availableGeometry());
    if (fitted != m_window.geometry())
        m_window.setGeometry(fitted);
}

QMargins TemplateEditorLayout::windowFrameMargins() const
{
    const QRect outer = m_window.frameGeometry();
    const QRect inner = m_window.geometry();
    if (outer != inner)
        return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                outer.bottom() - inner.bottom()};
    const int border = m_window.style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    return {border, m_window.style()->pixelMetric(QStyle::PM_TitleBarHeight), border, border};
}

QRect TemplateEditorLayout::fittedInside(const QRect& window, const QMargins& margins, const QRect& available)
{
    QRect outer = window.marginsAdded(margins);
    outer.setSize(outer.size().boundedTo(available.size()));
    outer.moveLeft(std::clamp(outer.left(), available.left(), available.left() + available.width() - outer.width()));
    outer.moveTop(std::clamp(outer.top(), available.top(), available.top() + available.height() - outer.height()));
    return outer.marginsRemoved(margins);
}

void TemplateEditorLayout::toggleSidebar()
{
    sidebar->setVisible(!sidebar->isVisible());
}
