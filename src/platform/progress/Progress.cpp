#include "platform/progress/Progress.h"

#include <algorithm>

namespace platform {

Progress::Progress(qint64 totalUnitCount)
    : m_totalUnitCount(totalUnitCount)
{
}

std::shared_ptr<Progress> Progress::create(qint64 totalUnitCount)
{
    return std::shared_ptr<Progress>(new Progress(totalUnitCount));
}

qint64 Progress::totalUnitCount() const
{
    std::lock_guard lock(m_mutex);
    return m_totalUnitCount;
}

qint64 Progress::completedUnitCount() const
{
    std::lock_guard lock(m_mutex);
    return m_completedUnitCount;
}

double Progress::fractionCompleted() const
{
    std::unique_lock lock(m_mutex);
    if (m_totalUnitCount <= 0)
        return 0;
    const std::vector<Child> children = m_children;
    const double total = double(m_totalUnitCount);
    double completed = double(m_completedUnitCount);
    lock.unlock();
    for (const Child& child : children)
        completed += child.progress->fractionCompleted() * double(child.pendingUnitCount);
    return std::min(1.0, completed / total);
}

bool Progress::isFinished() const
{
    std::lock_guard lock(m_mutex);
    return isFinishedLocked();
}

bool Progress::isFinishedLocked() const
{
    return m_totalUnitCount > 0 && m_completedUnitCount >= m_totalUnitCount;
}

void Progress::setCompletedUnitCount(qint64 completed)
{
    changeCompletedUnitCount([completed](qint64) { return completed; });
}

void Progress::completeUnitCount(qint64 unitCount)
{
    changeCompletedUnitCount([unitCount](qint64 completed) { return completed + unitCount; });
}

void Progress::changeCompletedUnitCount(const std::function<qint64(qint64)>& change)
{
    std::shared_ptr<Progress> parent;
    {
        std::lock_guard lock(m_mutex);
        const bool wasFinished = isFinishedLocked();
        m_completedUnitCount = change(m_completedUnitCount);
        if (!wasFinished && isFinishedLocked())
            parent = m_parent.lock();
    }
    if (parent)
        parent->childCompleted(this);
}

void Progress::addChild(const std::shared_ptr<Progress>& child, qint64 pendingUnitCount)
{
    {
        std::lock_guard lock(m_mutex);
        m_children.push_back({child, pendingUnitCount});
    }
    {
        std::lock_guard lock(child->m_mutex);
        child->m_parent = weak_from_this();
    }
    if (child->isFinished())
        childCompleted(child.get());
}

// The child's entry goes and its pending units count as completed in one step, so
// that no reader sees the child's share missing from both.
void Progress::childCompleted(const Progress* child)
{
    changeCompletedUnitCount([this, child](qint64 completed) {
        const auto found = std::find_if(m_children.begin(), m_children.end(),
                                        [child](const Child& entry) { return entry.progress.get() == child; });
        if (found == m_children.end())
            return completed;
        const qint64 pendingUnitCount = found->pendingUnitCount;
        m_children.erase(found);
        return completed + pendingUnitCount;
    });
}

} // namespace platform
