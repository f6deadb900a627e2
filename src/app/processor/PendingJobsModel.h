#pragma once

#include "app/ListTableModel.h"

#include <QMap>

#include <functional>
#include <memory>

class KOVA_Job;
class OBKVOObservation;

// The jobs waiting in the enabled hot folders, one row each: the job's name and
// the folder it waits in. The list is read again on the main thread whenever the
// job folders announce a change of "jobsPending"; rows come and go one by one, a
// job keeping its row (and so its selection) by its bundle or ticket. A ticket
// that ran but could not be filed says so, with the reason as its tooltip.
class PendingJobsModel : public ListTableModel {
public:
    using Jobs = QList<std::shared_ptr<KOVA_Job>>;
    // Ticket paths of the jobs that ran but could not be filed, with the reason.
    using Unfiled = QMap<QString, QString>;
    enum Column { NameColumn, FolderColumn, ColumnCount };

    // `source` answers the pending jobs (the job folders' list when absent),
    // `unfiled` the tickets left unfiled (the job processor's when absent).
    explicit PendingJobsModel(std::function<Jobs()> source = {}, std::function<Unfiled()> unfiled = {},
                              QObject* parent = nullptr);
    ~PendingJobsModel() override;

    // Follows the job folders' announcements from now on.
    void observeJobFolders();
    // Reads the list again (on the main thread) and changes the rows that changed.
    void reload();

    const Jobs& jobs() const { return m_jobs; }
    std::shared_ptr<KOVA_Job> job(int row) const;
    // The job's bundle, else its ticket file.
    static QUrl jobURL(const KOVA_Job& job);
    // Why the job's ticket ran but stays; empty when it waits to run.
    QString unfiledReason(const KOVA_Job& job) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void refreshRows(const Jobs& fresh, const Unfiled& before);

    std::function<Jobs()> m_source;
    std::function<Unfiled()> m_unfiledSource;
    Jobs m_jobs;
    Unfiled m_unfiled;
    std::shared_ptr<OBKVOObservation> m_observation;
};
