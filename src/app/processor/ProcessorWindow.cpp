#include "app/processor/ProcessorWindow.h"

#include "app/ApplicationTermination.h"
#include "app/processor/JobFileActions.h"
#include "app/processor/JobMenuPlan.h"
#include "app/processor/JobTrash.h"
#include "app/processor/PendingJobsModel.h"
#include "app/processor/PendingJobsTable.h"
#include "app/processor/PreviewSplitter.h"
#include "app/processor/ProcessorStatus.h"
#include "core/ui/ApplicationMenu.h"
#include "core/ui/StatusDot.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/undo/UndoManager.h"
#include "workflow/jobs/KOVA_Job.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QVBoxLayout>

using platform::Log::log;
using platform::UserDefaults;

namespace {

constexpr int nameColumnWidth = 260;
// An entry of the context menu: its action, its title and its icon.
struct MenuEntry {
    const char* operation;
    QString (JobMenuPlan::*title)() const;
    QStyle::StandardPixmap icon;
    void (ProcessorWindow::*perform)(const QVariant& represented);
};

} // namespace

ProcessorWindow::ProcessorWindow(const QList<QAction*>& sharedActions, std::function<Jobs()> jobsSource, QWidget* parent)
    : QMainWindow(parent)
    , m_model(new PendingJobsModel(std::move(jobsSource), {}, this))
    , m_table(new PendingJobsTable)
    , m_undoManager(new platform::UndoManager(this))
    , m_trash(new JobTrash(this, m_undoManager))
{
    setObjectName(QStringLiteral("processorWindow"));
    setWindowTitle(tr("KOVA-XML Processor"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    ApplicationMenu::addTo(menuBar(), sharedActions);
    makeEditMenu();

    m_table->setModel(m_model);
    m_table->setColumnWidth(PendingJobsModel::NameColumn, nameColumnWidth);
    m_table->toggleQuickLookPreviewPanel = [this] { toggleQuickLookPreviewPanel(); };
    m_table->contextMenuRequested = [this](const QPoint& at, int row, Qt::KeyboardModifiers modifiers) {
        QMenu* menu = contextMenu(row, modifiers);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(at);
    };
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { previewMayHaveChanged(); });
    // Rows that come, go or change keep the selection; the preview follows only when
    // the job it shows is no longer the first selected one (several selected show the
    // first).
    const auto follow = [this] { previewMayHaveChanged(); };
    connect(m_model, &QAbstractItemModel::modelReset, this, follow);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, follow);
    connect(m_model, &QAbstractItemModel::rowsMoved, this, follow);
    connect(m_model, &QAbstractItemModel::dataChanged, this, follow);

    m_imageViewPending = new QLabel;
    m_imageViewPending->setObjectName(QStringLiteral("imageViewPending"));
    m_imageViewPending->setAlignment(Qt::AlignCenter);
    m_imageViewPending->setMinimumHeight(1);
    m_splitter = new PreviewSplitter(Qt::Vertical);
    m_splitter->setObjectName(QStringLiteral("splitViewOrdersPending"));
    m_splitter->setHandleWidth(1);
    m_splitter->addWidget(makeListPane());
    m_splitter->addWidget(m_imageViewPending);
    m_splitter->setCollapsible(0, false);
    m_splitter->setCollapsible(1, true);
    m_splitter->setSizes({ minimumListHeight, 240 });
    setCentralWidget(m_splitter);
    resize(720, 860);

    m_status = new ProcessorStatus([this] { showStatus(); }, this);
    showStatus();
    m_model->observeJobFolders();
}

ProcessorWindow::~ProcessorWindow()
{
    m_undoManager->removeAllActions();
}

QWidget* ProcessorWindow::makeStatusRow()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_buttonProcessorState = new QPushButton;
    m_buttonProcessorState->setObjectName(QStringLiteral("buttonProcessorState"));
    m_buttonProcessorState->setIconSize(QSize(StatusDot::side, StatusDot::side));
    connect(m_buttonProcessorState, &QPushButton::clicked, this, [this] { runState(); });
    m_progressIndicator = new QProgressBar;
    m_progressIndicator->setObjectName(QStringLiteral("progressIndicator"));
    m_progressIndicator->setRange(0, 0);
    m_progressIndicator->setMaximumWidth(120);
    m_progressIndicator->setTextVisible(false);
    m_textFieldJobsCompleted = new QLabel;
    m_textFieldJobsFailed = new QLabel;
    auto* reset = new QPushButton(tr("Reset"));
    reset->setToolTip(tr("Set both job counters to 0"));
    connect(reset, &QPushButton::clicked, this, [this] { resetJobStats(); });
    layout->addWidget(m_buttonProcessorState);
    layout->addWidget(m_progressIndicator);
    layout->addStretch(1);
    layout->addWidget(m_textFieldJobsCompleted);
    layout->addWidget(m_textFieldJobsFailed);
    layout->addWidget(reset);
    return row;
}

QWidget* ProcessorWindow::makeListPane()
{
    auto* pane = new QWidget;
    pane->setMinimumHeight(minimumListHeight);
    auto* layout = new QVBoxLayout(pane);
    layout->addWidget(makeStatusRow());
    layout->addWidget(m_table, 1);
    auto* buttons = new QHBoxLayout;
    auto* process = new QPushButton(tr("Process Selected"));
    connect(process, &QPushButton::clicked, this, [this] { processSelectedOrders(); });
    auto* preview = new QPushButton(tr("Preview"));
    preview->setObjectName(QStringLiteral("buttonQuickLookPendingOrders"));
    connect(preview, &QPushButton::clicked, this, [this] { toggleQuickLookPreviewPanel(); });
    buttons->addWidget(process);
    buttons->addStretch(1);
    buttons->addWidget(preview);
    layout->addLayout(buttons);
    return pane;
}

void ProcessorWindow::makeEditMenu()
{
    QMenu* edit = menuBar()->addMenu(tr("Edit"));
    QAction* undo = edit->addAction(tr("Undo"), this, [this] { m_undoManager->undo(); });
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = edit->addAction(tr("Redo"), this, [this] { m_undoManager->redo(); });
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(m_undoManager, &platform::UndoManager::changed, this, [this, undo, redo] {
        undo->setText(m_undoManager->undoMenuItemTitle());
        undo->setEnabled(m_undoManager->canUndo());
        redo->setText(m_undoManager->redoMenuItemTitle());
        redo->setEnabled(m_undoManager->canRedo());
    });
    undo->setEnabled(false);
    redo->setEnabled(false);
    edit->addSeparator();
    QAction* remove = edit->addAction(tr("Move to Trash"), this, [this] { deleteSelectedOrders(); });
    remove->setShortcut(QKeySequence::Delete);
    edit->addAction(tr("Process Selected Jobs"), this, [this] { processSelectedOrders(); });
    edit->addAction(tr("Reset Job Counters"), this, [this] { resetJobStats(); });
}

void ProcessorWindow::setFrameAutosaveName(const QString& name)
{
    m_frameAutosaveName = name;
    const QByteArray frame = UserDefaults::standardUserDefaults()->objectForKey(name).toByteArray();
    if (!frame.isEmpty())
        restoreGeometry(frame);
}

void ProcessorWindow::showWindow()
{
    show();
    raise();
    activateWindow();
    UserDefaults::standardUserDefaults()->setBool(true, keyVisible);
}

void ProcessorWindow::closeEvent(QCloseEvent* event)
{
    saveFrame();
    if (!ApplicationTermination::isTerminating())
        UserDefaults::standardUserDefaults()->setBool(false, keyVisible);
    if (m_previewPanel)
        m_previewPanel->close();
    QMainWindow::closeEvent(event);
}

void ProcessorWindow::changeEvent(QEvent* event)
{
    // The window never zooms: a request to maximise it is undone.
    if (event->type() == QEvent::WindowStateChange && isMaximized())
        setWindowState(windowState() & ~Qt::WindowMaximized);
    QMainWindow::changeEvent(event);
}

void ProcessorWindow::saveFrame() const
{
    if (!m_frameAutosaveName.isEmpty())
        UserDefaults::standardUserDefaults()->setObject(saveGeometry(), m_frameAutosaveName);
}

void ProcessorWindow::showStatus()
{
    m_buttonProcessorState->setText(m_status->buttonTitle());
    m_buttonProcessorState->setIcon(StatusDot::icon(m_status->isRunning() ? StatusDot::available : StatusDot::inactive));
    m_progressIndicator->setVisible(m_status->isProcessing());
    m_textFieldJobsCompleted->setText(tr("Completed: %1").arg(m_status->jobsCompleted()));
    m_textFieldJobsFailed->setText(tr("Failed: %1").arg(m_status->jobsFailed()));
}

void ProcessorWindow::runState()
{
    ProcessorStatus::runState();
}

void ProcessorWindow::resetJobStats()
{
    ProcessorStatus::resetJobStats();
}

void ProcessorWindow::processSelectedOrders()
{
    QList<std::shared_ptr<KOVA_Job>> selected;
    QStringList names;
    for (const int row : m_table->selectedRows()) {
        if (const auto job = m_model->job(row)) {
            selected << job;
            names << job->name();
        }
    }
    log(QStringLiteral("%1: (%2)").arg(QStringLiteral("-[ViewController processSelectedOrders:]"), names.join(QStringLiteral(", "))));
    for (const auto& job : selected)
        job->processToCompletion();
}

QList<QUrl> ProcessorWindow::selectedJobURLs() const
{
    QList<QUrl> urls;
    for (const int row : m_table->selectedRows()) {
        const auto job = m_model->job(row);
        const QUrl url = job ? PendingJobsModel::jobURL(*job) : QUrl();
        if (url.isValid())
            urls << url;
    }
    return urls;
}

void ProcessorWindow::deleteSelectedOrders()
{
    const QList<QUrl> urls = selectedJobURLs();
    if (!urls.isEmpty())
        m_trash->registerUndoMoveFilesToTrash(urls);
}

QMenu* ProcessorWindow::contextMenu(int row, Qt::KeyboardModifiers modifiers)
{
    static const MenuEntry entries[] {
        { "revealInFinder:", &JobMenuPlan::revealTitle, QStyle::SP_DirOpenIcon, &ProcessorWindow::revealInFinder },
        { "moveToTrash:", &JobMenuPlan::trashTitle, QStyle::SP_TrashIcon, &ProcessorWindow::moveToTrash },
    };
    const bool optionCommand = (modifiers & Qt::ControlModifier) && (modifiers & Qt::AltModifier);
    const JobMenuPlan plan = JobMenuPlan::make(m_model->jobs(), row, m_table->selectedRows(), optionCommand);
    const QVariant represented = plan.hasItems ? QVariant::fromValue(plan.urls) : QVariant();
    auto* menu = new QMenu(this);
    const auto addEntry = [&](const MenuEntry& entry, const QString& title) {
        QAction* action = menu->addAction(style()->standardIcon(entry.icon).pixmap(16, 16), title);
        action->setData(represented);
        action->setObjectName(QString::fromLatin1(entry.operation));
        connect(action, &QAction::triggered, this, [this, action, perform = entry.perform] { (this->*perform)(action->data()); });
        return action;
    };
    for (const MenuEntry& entry : entries) {
        QAction* action = addEntry(entry, (plan.*entry.title)());
        log(QStringLiteral("-[ViewController validateMenuItem:] %1").arg(action->text()));
        action->setEnabled(represented.isValid());
    }
    if (plan.completedWanted) {
        menu->addSeparator();
        addEntry({ "moveToCompleted:", &JobMenuPlan::completedTitle, QStyle::SP_DirIcon, &ProcessorWindow::moveToCompleted },
            plan.completedTitle());
    }
    return menu;
}

void ProcessorWindow::revealInFinder(const QVariant& represented)
{
    const QString operation = QStringLiteral("-[ViewController revealInFinder:]");
    log(operation);
    if (const auto urls = JobFileActions::fileURLs(represented, operation, __LINE__))
        JobFileActions::revealInFinder(*urls);
}

void ProcessorWindow::moveToTrash(const QVariant& represented)
{
    const QString operation = QStringLiteral("-[ViewController moveToTrash:]");
    log(operation);
    if (const auto urls = JobFileActions::fileURLs(represented, operation, __LINE__))
        m_trash->registerUndoMoveFilesToTrash(*urls);
}

void ProcessorWindow::moveToCompleted(const QVariant& represented)
{
    const QString operation = QStringLiteral("-[ViewController moveToCompleted:]");
    log(operation);
    if (const auto urls = JobFileActions::fileURLs(represented, operation, __LINE__))
        JobFileActions::tellItemsThatStayed(this, tr("the Completed Folder"), JobFileActions::moveToCompleted(*urls));
}

std::shared_ptr<KOVA_Job> ProcessorWindow::jobPreview() const
{
    const QList<int> rows = m_table->selectedRows();
    return rows.isEmpty() ? nullptr : m_model->job(rows.first());
}

void ProcessorWindow::selectionDidChange()
{
    showSelectedPreview();
    if (!m_previewPanel || !m_previewPanel->isVisible())
        return;
    // A single job shows again the item it showed last; several keep the place.
    if (m_table->selectedRows().size() == 1)
        restoreLastIndexPreviewPanel();
    else
        m_previewPanel->reloadData();
}

void ProcessorWindow::previewMayHaveChanged()
{
    if (jobPreview() != m_previewedJob)
        selectionDidChange();
}

void ProcessorWindow::showSelectedPreview()
{
    // Read as the preview panel reads it, so a photo turned by its EXIF orientation
    // shows upright here too.
    const auto job = jobPreview();
    m_previewedJob = job;
    const QImage image = job ? JobPreviewDialog::picture(job->graphicPath()) : QImage();
    if (image.isNull()) {
        m_imageViewPending->clear();
        return;
    }
    const QSize room = m_imageViewPending->size().expandedTo(QSize(64, 64));
    m_imageViewPending->setPixmap(QPixmap::fromImage(image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void ProcessorWindow::toggleQuickLookPreviewPanel()
{
    if (m_previewPanel && m_previewPanel->isVisible()) {
        m_previewPanel->close();
        return;
    }
    if (!jobPreview())
        return;
    if (!m_previewPanel)
        m_previewPanel = new JobPreviewDialog(m_table, previewDataSource(), this);
    restoreLastIndexPreviewPanel();
    m_previewPanel->show();
    m_previewPanel->raise();
}

JobPreviewDialog::DataSource ProcessorWindow::previewDataSource()
{
    return {
        [this] {
            const auto job = jobPreview();
            return job ? int(job->previewItemsCount()) : 0;
        },
        [this](int index) {
            const auto job = jobPreview();
            if (!job)
                return QUrl();
            job->setPreviewItemIndex(index);
            return job->previewItemURL();
        },
    };
}

void ProcessorWindow::restoreLastIndexPreviewPanel()
{
    const auto job = jobPreview();
    const qint64 last = job ? job->previewItemIndex() : -1;
    m_previewPanel->setCurrentItemIndex(last >= 0 && last < job->previewItemsCount() ? int(last) : 0);
}
