#pragma once

#include <QAbstractTableModel>

#include <functional>
#include <memory>

class KOVA_Job;
class OBKVOObservation;

// The jobs waiting in the enabled hot folders, one row each: the job's name and
// the folder it waits in. The list is read again on the main thread whenever the
// job folders announce a change of "jobsPending".
class PendingJobsModel : public QAbstractTableModel {
public:
    using Jobs = QList<std::shared_ptr<KOVA_Job>>;
    enum Column { NameColumn, FolderColumn, ColumnCount };

    // `source` answers the pending jobs (the job folders' list when absent).
    explicit PendingJobsModel(std::function<Jobs()> source = {}, QObject* parent = nullptr);
    ~PendingJobsModel() override;

    // Follows the job folders' announcements from now on.
    void observeJobFolders();
    // Reads the list again (on the main thread).
    void reload();

    const Jobs& jobs() const { return m_jobs; }
    std::shared_ptr<KOVA_Job> job(int row) const;
    // The job's bundle, else its ticket file.
    static QUrl jobURL(const KOVA_Job& job);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::function<Jobs()> m_source;
    Jobs m_jobs;
    std::shared_ptr<OBKVOObservation> m_observation;
};
