#include "app/processor/PendingJobsModel.h"

#include "core/observation/OBKVONotificationCenter.h"
#include "workflow/folders/KOVA_JobFolders.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/processing/KOVA_JobProcessor.h"

#include <QBrush>
#include <QColor>
#include <QFileInfo>

namespace {

const QColor unfiledColor(170, 40, 20);

PendingJobsModel::Unfiled unfiledOfTheProcessor()
{
    return KOVA_JobProcessor::shared()->ticketsLeftUnfiled();
}

} // namespace

PendingJobsModel::PendingJobsModel(std::function<Jobs()> source, std::function<Unfiled()> unfiled, QObject* parent)
    : ListTableModel(parent)
    , m_source(source ? std::move(source) : std::function<Jobs()>(&KOVA_JobFolders::jobsPending))
    , m_unfiledSource(unfiled ? std::move(unfiled) : std::function<Unfiled()>(&unfiledOfTheProcessor))
{
    m_jobs = m_source();
    m_unfiled = m_unfiledSource();
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
    const Jobs fresh = m_source();
    const Unfiled before = std::exchange(m_unfiled, m_unfiledSource());
    arrangeRows(m_jobs, fresh, [](const std::shared_ptr<KOVA_Job>& job) { return jobURL(*job); });
    refreshRows(fresh, before);
}

// A job read anew for the same ticket takes its row; a row whose filing state changed
// is shown again.
void PendingJobsModel::refreshRows(const Jobs& fresh, const Unfiled& before)
{
    for (int row = 0; row < m_jobs.size(); ++row) {
        const QString ticket = fresh.at(row)->documentURL().toLocalFile();
        const bool sameJob = m_jobs.at(row) == fresh.at(row);
        if (sameJob && before.value(ticket) == m_unfiled.value(ticket))
            continue;
        m_jobs[row] = fresh.at(row);
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
}

std::shared_ptr<KOVA_Job> PendingJobsModel::job(int row) const
{
    return row >= 0 && row < m_jobs.size() ? m_jobs.at(row) : nullptr;
}

QUrl PendingJobsModel::jobURL(const KOVA_Job& job)
{
    return job.urlJobContainer().isValid() ? job.urlJobContainer() : job.documentURL();
}

QString PendingJobsModel::unfiledReason(const KOVA_Job& job) const
{
    return m_unfiled.value(job.documentURL().toLocalFile());
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
    if (!shown)
        return {};
    const QFileInfo item(jobURL(*shown).toLocalFile());
    const QString unfiled = unfiledReason(*shown);
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == FolderColumn)
            return item.path();
        return unfiled.isEmpty() ? item.fileName() : tr("%1 (ran, not filed)").arg(item.fileName());
    case Qt::ToolTipRole:
        return unfiled.isEmpty() ? item.filePath() : tr("%1\nRan, but could not be filed: %2").arg(item.filePath(), unfiled);
    case Qt::ForegroundRole:
        return unfiled.isEmpty() ? QVariant() : QVariant(QBrush(unfiledColor));
    default:
        return {};
    }
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
