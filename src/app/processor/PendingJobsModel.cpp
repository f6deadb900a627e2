#include "app/processor/PendingJobsModel.h"

#include "core/observation/OBKVONotificationCenter.h"
#include "workflow/folders/KOVA_JobFolders.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/processing/KOVA_JobProcessor.h"

#include <QFileInfo>

PendingJobsModel::PendingJobsModel(std::function<Jobs()> source, QObject* parent)
    : QAbstractTableModel(parent)
    , m_source(source ? std::move(source) : std::function<Jobs()>(&KOVA_JobFolders::jobsPending))
{
    m_jobs = m_source();
}

PendingJobsModel::~PendingJobsModel()
{
    if (m_observation)
        m_observation->remove();
}

void PendingJobsModel::observeJobFolders()
{
    if (m_observation)
        return;
    m_observation = OBKVONotificationCenter::addObservationKeyPath(KOVA_JobProcessor::shared(),
        KOVA_JobProcessor::JobsPendingKey, platform::KeyValueObservingOptionNew, [this](const OBKVONotification&) {
            // The announcement comes on the thread that changed the list; the model
            // changes on the main thread only, and not at all once it is gone.
            QMetaObject::invokeMethod(this, [this] { reload(); }, Qt::QueuedConnection);
        });
    reload();
}

void PendingJobsModel::reload()
{
    beginResetModel();
    m_jobs = m_source();
    endResetModel();
}

std::shared_ptr<KOVA_Job> PendingJobsModel::job(int row) const
{
    return row >= 0 && row < m_jobs.size() ? m_jobs.at(row) : nullptr;
}

QUrl PendingJobsModel::jobURL(const KOVA_Job& job)
{
    return job.urlJobContainer().isValid() ? job.urlJobContainer() : job.documentURL();
}

int PendingJobsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_jobs.size());
}

int PendingJobsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PendingJobsModel::data(const QModelIndex& index, int role) const
{
    const std::shared_ptr<KOVA_Job> shown = job(index.row());
    if (!shown || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const QFileInfo item(jobURL(*shown).toLocalFile());
    if (role == Qt::ToolTipRole)
        return item.filePath();
    return index.column() == NameColumn ? item.fileName() : item.path();
}

QVariant PendingJobsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == NameColumn ? tr("Job") : tr("Folder");
}

Qt::ItemFlags PendingJobsModel::flags(const QModelIndex& index) const
{
    return QAbstractTableModel::flags(index) | Qt::ItemIsDropEnabled;
}
