#include "app/preferences/PrefsFoldersViewController.h"

#include "app/preferences/FolderSetChooser.h"
#include "app/preferences/FolderSetClickDelegate.h"
#include "app/preferences/FolderSetsTableModel.h"
#include "core/foundation/KOVA_Constants.h"
#include "core/queues/ZORVAK_Dispatch.h"
#include "core/ui/Beeper.h"
#include "core/ui/FileManagerReveal.h"
#include "core/ui/ZORVAK_NSObjectOpenSave.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/DispatchQueue.h"
#include "workflow/KOVA.h"
#include "workflow/folders/KOVA_DefaultsDelegate.h"
#include "workflow/folders/KOVA_JobFolders.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <chrono>

#include <unistd.h>

namespace {
constexpr std::chrono::milliseconds selectNewSetDelay(100);

enum JobFolderColumn { NameColumn, FolderColumn, EnabledColumn, JobsColumn };

KOVA_JobFolders& jobFolder(KOVA_FolderSet& set) { return static_cast<KOVA_JobFolders&>(set); }
const KOVA_JobFolders& jobFolder(const KOVA_FolderSet& set) { return static_cast<const KOVA_JobFolders&>(set); }

QList<FolderSetsTableModel::Column> jobFolderColumns()
{
    return {
        { QStringLiteral("Name"),
          [](const KOVA_FolderSet& set, int role) -> QVariant {
              return role == Qt::DisplayRole || role == Qt::EditRole ? set.name() : QVariant();
          },
          [](KOVA_FolderSet& set, const QVariant& value, int) { set.setName(value.toString()); }, Qt::ItemIsEditable },
        { QStringLiteral("Folder"), &FolderSetsTableModel::folderPath },
        { QStringLiteral("Enabled"),
          [](const KOVA_FolderSet& set, int role) -> QVariant {
              return role == Qt::CheckStateRole ? (jobFolder(set).enabled() ? Qt::Checked : Qt::Unchecked) : QVariant();
          },
          [](KOVA_FolderSet& set, const QVariant& value, int) {
              jobFolder(set).setEnabled(value.toInt() == Qt::Checked);
          },
          Qt::ItemIsUserCheckable },
        { QStringLiteral("Jobs"),
          [](const KOVA_FolderSet& set, int role) -> QVariant {
              return role == Qt::DisplayRole ? QVariant(qsizetype(jobFolder(set).jobs().size())) : QVariant();
          } },
    };
}

QString preferenceText(const QString& key) { return platform::UserDefaults::standardUserDefaults()->stringForKey(key); }

void storeThroughApplication(const QString& path, const QString& key)
{
    if (const std::shared_ptr<KOVA_DefaultsDelegate> delegate = KOVA_DefaultsDelegate::installedDelegate())
        delegate->setDefaultObject(path, key);
    else
        platform::UserDefaults::standardUserDefaults()->setObject(path, key);
}
} // namespace

const QList<PrefsFoldersViewController::FixedFolder>& PrefsFoldersViewController::fixedFolders()
{
    static const QList<FixedFolder> folders {
        { "folderPathTemplates", "Templates", key_kovaFolderTemplates },
        { "folderPathNodes", "Nodes", key_kovaFolderNodes },
        { "folderPathPackages", "Packages", key_kovaFolderPackages },
        { "folderPathJobsPending", "Jobs (pending)", key_kovaFolderJobsPending },
        { "folderPathJobsCompleted", "Jobs (Completed)", key_kovaFolderJobsCompleted },
    };
    return folders;
}

PrefsFoldersViewController::PrefsFoldersViewController(QWidget* parent) : QWidget(parent)
{
    setObjectName(identifier);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeJobFoldersBox(), 1);
    layout->addWidget(makeFixedFoldersBox());
    viewDidLoad();
}

QWidget* PrefsFoldersViewController::makeJobFoldersBox()
{
    auto* box = new QGroupBox(QStringLiteral("Job Folders"), this);
    auto* layout = new QVBoxLayout(box);
    m_model = new FolderSetsTableModel(KOVA_JobFolders::classSide(), jobFolderColumns(), this);
    m_table = new QTableView(box);
    m_table->setObjectName(QStringLiteral("tableViewJobFolders"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_table->horizontalHeader()->setSectionResizeMode(FolderColumn, QHeaderView::Stretch);
    m_table->verticalHeader()->hide();
    m_table->setItemDelegateForColumn(
        FolderColumn, new FolderSetClickDelegate([this](int row) { selectRowAlone(row); },
                                                 [this](int row) { FolderSetChooser::choose(m_model->folderSetAt(row), m_table); },
                                                 m_table));
    layout->addWidget(m_table);
    auto* buttons = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("+"), box);
    add->setObjectName(QStringLiteral("addFolderSet"));
    connect(add, &QPushButton::clicked, this, &PrefsFoldersViewController::addFolderSet);
    auto* remove = new QPushButton(QStringLiteral("−"), box);
    remove->setObjectName(QStringLiteral("deleteSelectedFolderSets"));
    connect(remove, &QPushButton::clicked, this, &PrefsFoldersViewController::deleteSelectedFolderSets);
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    layout->addLayout(buttons);
    return box;
}

QWidget* PrefsFoldersViewController::makeFixedFoldersBox()
{
    auto* box = new QGroupBox(QStringLiteral("Folders"), this);
    auto* grid = new QGridLayout(box);
    for (int position = 0; position < fixedFolders().size(); ++position) {
        const FixedFolder& folder = fixedFolders().at(position);
        auto* field = new QLineEdit(box);
        field->setObjectName(QString::fromLatin1(folder.field));
        field->setReadOnly(true);
        m_fields.append(field);
        auto* choose = new QPushButton(QStringLiteral("Choose…"), box);
        connect(choose, &QPushButton::clicked, this, [this, position] { chooseFolder(position); });
        auto* reveal = new QPushButton(QStringLiteral("Reveal"), box);
        connect(reveal, &QPushButton::clicked, this, [this, position] { revealFile(position); });
        grid->addWidget(new QLabel(QString::fromUtf8(folder.word) + u':', box), position, 0);
        grid->addWidget(field, position, 1);
        grid->addWidget(choose, position, 2);
        grid->addWidget(reveal, position, 3);
    }
    return box;
}

void PrefsFoldersViewController::viewDidLoad()
{
    platform::Log::log(QStringLiteral("KOVA directory: %1").arg(KOVA::kovaDirectory().toString()));
    platform::Log::log(QStringLiteral("Templates directory: %1").arg(KOVA::kovaDirectoryTemplates().toString()));
    platform::Log::log(QStringLiteral("Packages directory: %1").arg(KOVA::kovaDirectoryPackages().toString()));
    platform::Log::log(QStringLiteral("Nodes directory: %1").arg(KOVA::kovaDirectoryNodes().toString()));
    m_table->clearSelection();
}

void PrefsFoldersViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    viewDidAppear();
}

void PrefsFoldersViewController::viewDidAppear()
{
    for (int position = 0; position < fixedFolders().size(); ++position) {
        const QString& key = fixedFolders().at(position).key;
        QString path = preferenceText(key);
        // The pending-jobs folder the operator chose wins over the tree's.
        if (path.isEmpty() && key == key_kovaFolderJobsPending)
            path = KOVA::kovaDirectoryJobsPending().toLocalFile();
        showPath(position, path);
    }
}

void PrefsFoldersViewController::showPath(int position, const QString& path)
{
    m_fields.at(position)->setText(path);
    m_fields.at(position)->setToolTip(path);
}

void PrefsFoldersViewController::selectRowAlone(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_table->selectionModel()->select(m_model->index(row, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_table->scrollTo(m_model->index(row, 0));
}

void PrefsFoldersViewController::addFolderSet()
{
    auto folderSet = std::make_shared<KOVA_JobFolders>(QStringLiteral("Pending Jobs"), QUrl::fromLocalFile(QDir::homePath()));
    // Disabled until the operator has picked its folder: watching home would take
    // every ticket-shaped file there.
    QVariantMap properties = folderSet->properties();
    properties.insert(KOVA_JobFolders::EnabledKey, false);
    folderSet->setProperties(properties);
    KOVA_JobFolders::classSide().addFolderSet(folderSet);
    m_model->reload();
    QPointer<PrefsFoldersViewController> self(this);
    platform::DispatchQueue::main()->after(selectNewSetDelay, [self, folderSet] {
        if (self)
            self->selectRowAlone(self->m_model->rowOf(folderSet));
    });
}

QList<std::shared_ptr<KOVA_FolderSet>> PrefsFoldersViewController::selectedFolderSets() const
{
    QList<std::shared_ptr<KOVA_FolderSet>> selected;
    for (const QModelIndex& row : m_table->selectionModel()->selectedRows()) {
        if (std::shared_ptr<KOVA_FolderSet> set = m_model->folderSetAt(row.row()))
            selected.append(set);
    }
    return selected;
}

void PrefsFoldersViewController::deleteSelectedFolderSets()
{
    const QList<std::shared_ptr<KOVA_FolderSet>> selected = selectedFolderSets();
    if (selected.isEmpty()) {
        Beeper::beep();
        return;
    }
    deleteWithConfirmation(selected);
}

void PrefsFoldersViewController::deleteWithConfirmation(const QList<std::shared_ptr<KOVA_FolderSet>>& folderSets)
{
    const bool one = folderSets.size() == 1;
    const QVariantMap options {
        { QStringLiteral("messageText"), one ? QStringLiteral("DELETE \"%1\" ???").arg(folderSets.constFirst()->name())
                                             : QStringLiteral("DELETE Selected Folders ???") },
        { QStringLiteral("informativeText"), one ? QStringLiteral("Are you sure you want to delete the selected folder path?")
                                                 : QStringLiteral("Are you sure you want to delete the selected folder paths?") },
        { QStringLiteral("alertStyle"), 2 },
        { QStringLiteral("buttons"), QVariantMap { { QStringLiteral("Cancel"), 0 }, { QStringLiteral("Delete"), 1 } } },
        { QStringLiteral("window"), QVariant::fromValue<QWidget*>(window()) },
    };
    QPointer<PrefsFoldersViewController> self(this);
    ZORVAK_NSObjectOpenSave::alertPanelWithOptions(options, [self, folderSets](QMessageBox*, int response) {
        platform::Log::log(QStringLiteral("returnCode = %1").arg(response));
        if (self && response == 1)
            self->deleteFolderSets(folderSets);
    });
}

void PrefsFoldersViewController::deleteFolderSets(const QList<std::shared_ptr<KOVA_FolderSet>>& folderSets)
{
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    int firstSelected = selected.isEmpty() ? 0 : selected.constFirst().row();
    for (const QModelIndex& row : selected)
        firstSelected = std::min(firstSelected, row.row());
    for (const std::shared_ptr<KOVA_FolderSet>& set : folderSets) {
        if (!jobFolder(*set).hasFixedName())
            KOVA_JobFolders::classSide().removeFolderSet(set);
    }
    m_model->reload();
    selectRowAlone(std::max(firstSelected - 1, 0));
}

void PrefsFoldersViewController::chooseFolder(int position)
{
    platform::Log::log(QStringLiteral("-[PrefsFoldersViewController chooseFolder:]"));
    if (position < 0 || position >= fixedFolders().size())
        return;
    const FixedFolder& folder = fixedFolders().at(position);
    const QString title = QStringLiteral("Choose the %1 folder").arg(QString::fromUtf8(folder.word));
    QVariantMap options {
        { QStringLiteral("title"), title },
        { QStringLiteral("message"), title },
        { QStringLiteral("canChooseFiles"), false },
        { QStringLiteral("canChooseDirectories"), true },
        { QStringLiteral("canCreateDirectories"), true },
        { QStringLiteral("window"), QVariant::fromValue<QWidget*>(window()) },
    };
    const QString suggested = preferenceText(folder.key);
    if (!suggested.isEmpty())
        options.insert(QStringLiteral("directoryURL"), QUrl::fromLocalFile(suggested));
    QPointer<PrefsFoldersViewController> self(this);
    const QString key = folder.key;
    ZORVAK_NSObjectOpenSave::openPanelWithOptions(options, [self, position, key](QFileDialog* panel, int response) {
        if (response != ZORVAK_NSObjectOpenSave::kResponseOK || panel->selectedUrls().isEmpty())
            return;
        const QUrl url = panel->selectedUrls().constFirst();
        platform::Log::log(QStringLiteral("wants to open %1").arg(url.toString()));
        if (self)
            self->showPath(position, url.toLocalFile());
        storeThroughApplication(url.toLocalFile(), key);
    });
}

void PrefsFoldersViewController::revealFile(int position)
{
    platform::Log::log(QStringLiteral("-[PrefsFoldersViewController revealFile:]"));
    if (position < 0 || position >= m_fields.size())
        return;
    const QString path = m_fields.at(position)->text();
    ZORVAK_Dispatch::performAsyncGlobalUserInitiated([path] {
        const bool readable = !path.isEmpty() && ::access(QFile::encodeName(path).constData(), R_OK) == 0;
        ZORVAK_Dispatch::performAsyncOnMainQueue([path, readable] {
            if (readable) {
                FileManagerReveal::revealItems({ path });
                return;
            }
            Beeper::beep();
            platform::Log::log(QStringLiteral("no file available at %1").arg(path));
        });
    });
}
