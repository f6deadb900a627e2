#include "platform/undo/UndoManager.h"

#include "platform/Log.h"
#include "platform/dispatch/DispatchQueue.h"

#include <utility>

namespace platform {

UndoManager::UndoManager(QObject* parent)
    : QObject(parent)
{
}

void UndoManager::registerUndo(const void* target, Handler handler)
{
    if (!handler)
        return;
    if (m_state == State::Idle) {
        openEventGroupIfNeeded();
        m_redoSteps.clear();
    }
    if (!m_open) {
        // Grouping by event is off and no group is open: the registration is a step of its own.
        m_undoSteps.push_back(Step{std::exchange(m_pendingName, {}), {}});
        m_undoSteps.back().actions.push_back(Action{target, std::move(handler)});
    } else {
        m_open->actions.push_back(Action{target, std::move(handler)});
    }
    emit changed();
}

void UndoManager::setActionName(const QString& name)
{
    if (m_open)
        m_open->name = name;
    else
        m_pendingName = name;
    scheduleEndOfTurn();
    emit changed();
}

// While undoing or redoing, a handler's group is part of the step being recorded.
void UndoManager::beginUndoGrouping()
{
    if (m_groupingLevel++ == 0 && m_state == State::Idle)
        m_open = std::make_unique<Step>(Step{std::exchange(m_pendingName, {}), {}});
}

void UndoManager::endUndoGrouping()
{
    if (m_groupingLevel == 0) {
        Log::error("UndoManager: endUndoGrouping without an open group");
        return;
    }
    if (--m_groupingLevel == 0 && m_state == State::Idle)
        closeOpenStep();
}

bool UndoManager::canUndo() const
{
    return (m_state == State::Idle && m_open && !m_open->actions.empty()) || !m_undoSteps.empty();
}

bool UndoManager::canRedo() const
{
    return !m_redoSteps.empty();
}

void UndoManager::undo()
{
    if (m_state != State::Idle)
        return;
    if (m_eventGroupOpen && m_groupingLevel == 1)
        closeEventGroup();
    if (m_groupingLevel > 0) {
        Log::error("UndoManager: undo with a group of the caller's still open");
        return;
    }
    runStep(m_undoSteps, m_redoSteps, State::Undoing);
}

void UndoManager::redo()
{
    if (m_state != State::Idle || m_groupingLevel > 0)
        return;
    runStep(m_redoSteps, m_undoSteps, State::Redoing);
}

QString UndoManager::undoActionName() const
{
    if (m_state == State::Idle && m_open && !m_open->actions.empty())
        return m_open->name;
    return m_undoSteps.empty() ? QString() : m_undoSteps.back().name;
}

QString UndoManager::redoActionName() const
{
    return m_redoSteps.empty() ? QString() : m_redoSteps.back().name;
}

QString UndoManager::undoMenuItemTitle() const
{
    return menuTitle(QStringLiteral("Undo"), undoActionName());
}

QString UndoManager::redoMenuItemTitle() const
{
    return menuTitle(QStringLiteral("Redo"), redoActionName());
}

void UndoManager::removeAllActions()
{
    m_undoSteps.clear();
    m_redoSteps.clear();
    if (m_open)
        m_open->actions.clear();
    emit changed();
}

void UndoManager::removeAllActions(const void* target)
{
    const auto ownedByTarget = [target](const Action& action) { return action.target == target; };
    const auto dropActions = [&](std::vector<Step>& steps) {
        for (Step& step : steps)
            std::erase_if(step.actions, ownedByTarget);
        std::erase_if(steps, [](const Step& step) { return step.actions.empty(); });
    };
    dropActions(m_undoSteps);
    dropActions(m_redoSteps);
    if (m_open)
        std::erase_if(m_open->actions, ownedByTarget);
    emit changed();
}

void UndoManager::openEventGroupIfNeeded()
{
    if (m_open || !m_groupsByEvent)
        return;
    beginUndoGrouping();
    m_eventGroupOpen = true;
    scheduleEndOfTurn();
}

void UndoManager::closeEventGroup()
{
    m_eventGroupOpen = false;
    endUndoGrouping();
}

void UndoManager::scheduleEndOfTurn()
{
    if (m_endOfTurnScheduled)
        return;
    m_endOfTurnScheduled = true;
    // The main queue runs this once the event being handled has been dealt with.
    DispatchQueue::main()->async([this, alive = std::weak_ptr<bool>(m_alive)] {
        if (alive.expired())
            return;
        m_endOfTurnScheduled = false;
        m_pendingName.clear();
        if (m_eventGroupOpen && m_groupingLevel == 1)
            closeEventGroup();
    });
}

void UndoManager::closeOpenStep()
{
    std::unique_ptr<Step> step = std::move(m_open);
    if (step && !step->actions.empty())
        m_undoSteps.push_back(std::move(*step));
    emit changed();
}

void UndoManager::runStep(std::vector<Step>& from, std::vector<Step>& to, State state)
{
    if (from.empty())
        return;
    Step step = std::move(from.back());
    from.pop_back();
    // What the handlers register forms the opposite step, named as the step it reverses
    // unless they name it themselves.
    m_open = std::make_unique<Step>(Step{step.name, {}});
    m_state = state;
    const std::weak_ptr<bool> alive = m_alive;
    for (auto action = step.actions.rbegin(); action != step.actions.rend(); ++action) {
        action->handler();
        if (alive.expired())
            return; // a handler let go of the manager
    }
    m_state = State::Idle;
    std::unique_ptr<Step> recorded = std::move(m_open);
    if (!recorded->actions.empty())
        to.push_back(std::move(*recorded));
    emit changed();
}

QString UndoManager::menuTitle(const QString& verb, const QString& name)
{
    return name.isEmpty() ? verb : verb + QLatin1Char(' ') + name;
}

} // namespace platform
