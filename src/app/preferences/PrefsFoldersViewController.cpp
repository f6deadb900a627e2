#include "app/preferences/PrefsFoldersViewController.h"

#include "app/preferences/AddDeleteButtons.h"
#include "app/preferences/FolderSetsTableModel.h"
#include "app/preferences/FolderSetsTableView.h"
#include "core/foundation/KOVA_Constants.h"
#include "core/queues/ZORVAK_Dispatch.h"
#include "core/ui/Beeper.h"
#include "core/ui/FileManagerReveal.h"
#include "core/ui/ZORVAK_NSObjectOpenSave.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/files/UTType.h"
#include "workflow/KOVA.h"
#include "workflow/folders/KOVA_DefaultsDelegate.h"
#include "workflow/folders/KOVA_JobFolders.h"
#include "workflow/processing/KOVA_JobProcessor.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
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

// Shows the job counts anew whenever the pending list changes (on the main queue).
class PrefsFoldersViewController::PendingJobsObserver : public platform::KeyValueObserver {
public:
    explicit PendingJobsObserver(FolderSetsTableModel* model) : m_model(model) {}
    void observeValueForKeyPath(const QString&, platform::Observable&, const QVariantMap&, const void*) override
    {
        m_model->refreshColumn(JobsColumn);
    }

private:
    FolderSetsTableModel* m_model;
};

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
    m_pendingJobsObserver = std::make_shared<PendingJobsObserver>(m_model);
    KOVA_JobFolders::classObservable().addObserver(m_pendingJobsObserver, KOVA_JobProcessor::JobsPendingKey, 0, nullptr);
    viewDidLoad();
}

PrefsFoldersViewController::~PrefsFoldersViewController()
{
    KOVA_JobFolders::classObservable().removeObserver(m_pendingJobsObserver.get(), KOVA_JobProcessor::JobsPendingKey, nullptr);
}

QWidget* PrefsFoldersViewController::makeJobFoldersBox()
{
    auto* box = new QGroupBox(QStringLiteral("Job Folders"), this);
    auto* layout = new QVBoxLayout(box);
    m_model = new FolderSetsTableModel(KOVA_JobFolders::classSide(), jobFolderColumns(), this);
    m_table = new FolderSetsTableView(m_model, FolderColumn, box);
    m_table->setObjectName(QStringLiteral("tableViewJobFolders"));
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    layout->addWidget(m_table);
    layout->addWidget(new AddDeleteButtons(QStringLiteral("deleteSelectedFolderSets"), [this] { addFolderSet(); },
                                           [this] { deleteSelectedFolderSets(); }, box));
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

void PrefsFoldersViewController::addFolderSet()
{
    auto folderSet = std::make_shared<KOVA_JobFolders>(QStringLiteral("Pending Jobs"), QUrl::fromLocalFile(QDir::homePath()));
    // Disabled until the operator has picked its folder: watching home would take
    // every ticket-shaped file there. It takes XML tickets, as every folder but the
    // old processor's does once the list is read back at the next start.
    QVariantMap properties = folderSet->properties();
    properties.insert(KOVA_JobFolders::EnabledKey, false);
    properties.insert(KOVA_JobFolders::JobFileUTTypeKey, platform::kUTTypeXML);
    folderSet->setProperties(properties);
    KOVA_JobFolders::classSide().addFolderSet(folderSet);
    m_model->reload();
    QPointer<PrefsFoldersViewController> self(this);
    platform::DispatchQueue::main()->after(selectNewSetDelay, [self, folderSet] {
        if (self)
            self->m_table->selectRowAlone(self->m_model->rowOf(folderSet));
    });
}

QList<std::shared_ptr<KOVA_FolderSet>> PrefsFoldersViewController::selectedFolderSets() const
{
    return m_table->selectedFolderSets();
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
    const int firstSelected = m_table->firstSelectedRow();
    for (const std::shared_ptr<KOVA_FolderSet>& set : folderSets) {
        if (!jobFolder(*set).hasFixedName())
            KOVA_JobFolders::classSide().removeFolderSet(set);
    }
    m_model->reload();
    m_table->selectRowAlone(std::max(firstSelected - 1, 0));
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
