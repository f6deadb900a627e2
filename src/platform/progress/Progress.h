#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

// A thread-safe counter of completed work out of a total, with children: a child added
// with N pending units contributes its fraction of N to the parent's fraction completed
// while it runs, and adds N to the parent's completed units once it completes.
class Progress : public std::enable_shared_from_this<Progress> {
public:
    static std::shared_ptr<Progress> create(qint64 totalUnitCount);

    qint64 totalUnitCount() const;
    qint64 completedUnitCount() const;
    // Completed units over total units, children's shares included; 0 with no total.
    double fractionCompleted() const;
    bool isFinished() const;

    // Sets the completed units; reaching the total completes this counter in its parent.
    void setCompletedUnitCount(qint64 completed);
    void addChild(const std::shared_ptr<Progress>& child, qint64 pendingUnitCount);

    // Completes `unitCount` more units at once, as making the counter current with that
    // many pending units and resigning it without adding a child does. One step, so
    // several threads may do it at the same time.
    void completeUnitCount(qint64 unitCount);

private:
    explicit Progress(qint64 totalUnitCount);
    struct Child {
        std::shared_ptr<Progress> progress;
        qint64 pendingUnitCount;
    };
    void childCompleted(const Progress* child);
    // Applies `change` to the completed units under the lock (it may also change the
    // children); reaching the total tells the parent.
    void changeCompletedUnitCount(const std::function<qint64(qint64)>& change);
    bool isFinishedLocked() const;

    mutable std::mutex m_mutex; // guards every field below
    qint64 m_totalUnitCount;
    qint64 m_completedUnitCount = 0;
    std::vector<Child> m_children;
    std::weak_ptr<Progress> m_parent;
};

} // namespace platform
