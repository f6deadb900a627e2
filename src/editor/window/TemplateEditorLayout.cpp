#include "editor/window/TemplateEditorLayout.h"

#include "core/queues/ZORVAK_Coalesce.h"
#include "core/ui/WindowFit.h"
#include "editor/canvas/KOVA_TemplateEditorView.h"
#include "editor/window/LayerTableView.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/text/GeometryText.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>


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
    // On the layers table, not the splitter: a minimum set on the splitter would let it
    // be narrower than the inspector below needs.
    layersTable->setMinimumWidth(attributesMinimumWidth);
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
    WindowFit::fitInside(m_window, screen->availableGeometry());
    WindowFit::fitOnceFramed(m_window, [this] {
        if (QScreen* shownOn = m_window.screen())
            WindowFit::fitInside(m_window, shownOn->availableGeometry());
    });
}

void TemplateEditorLayout::toggleSidebar()
{
    sidebar->setVisible(!sidebar->isVisible());
}
