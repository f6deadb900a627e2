#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace platform {

// Target-based undo with the semantics editors expect of it: a handler registered
// while undoing records the redo step (and one registered while redoing the next
// undo step), so an edit that re-enters its own registration with the old value
// undoes and redoes without limit. Registrations made in one turn of the main event
// loop form one step unless groups are opened explicitly. Used on the main thread.
class UndoManager : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void()>;

    explicit UndoManager(QObject* parent = nullptr);

    // Records `handler` in the open step (opening one for this event-loop turn when
    // none is open). `target` only identifies the step's owner for removeAllActions.
    // A plain registration (not while undoing or redoing) clears the redo steps.
    void registerUndo(const void* target, Handler handler);

    // Names the step being recorded: the open one, the redo step while undoing, the
    // undo step while redoing; with no step open, the next one opened in this turn.
    void setActionName(const QString& name);

    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const { return m_groupingLevel; }
    bool groupsByEvent() const { return m_groupsByEvent; }
    void setGroupsByEvent(bool groupsByEvent) { m_groupsByEvent = groupsByEvent; }

    bool canUndo() const;
    bool canRedo() const;
    // Closes an open step first, then runs the last step's handlers newest first.
    void undo();
    void redo();
    bool isUndoing() const { return m_state == State::Undoing; }
    bool isRedoing() const { return m_state == State::Redoing; }

    QString undoActionName() const;
    QString redoActionName() const;
    // "Undo" / "Redo", followed by the action name when there is one.
    QString undoMenuItemTitle() const;
    QString redoMenuItemTitle() const;

    void removeAllActions();
    // Drops every handler registered for `target`; steps left empty vanish.
    void removeAllActions(const void* target);

signals:
    // Any change of what can be undone or redone, or of the names.
    void changed();

private:
    struct Action {
        const void* target;
        Handler handler;
    };
    struct Step {
        QString name;
        std::vector<Action> actions;
    };
    enum class State { Idle, Undoing, Redoing };

    void openEventGroupIfNeeded();
    void closeEventGroup();
    // Closes the turn's group and forgets an unused name once the main queue is idle again.
    void scheduleEndOfTurn();
    void closeOpenStep();
    void runStep(std::vector<Step>& from, std::vector<Step>& to, State state);
    static QString menuTitle(const QString& verb, const QString& name);

    std::vector<Step> m_undoSteps;
    std::vector<Step> m_redoSteps;
    std::unique_ptr<Step> m_open;          // the step being recorded, if any
    QString m_pendingName;                 // set before the turn's step opened
    int m_groupingLevel = 0;
    bool m_groupsByEvent = true;
    bool m_eventGroupOpen = false;         // the open group closes at the end of this turn
    bool m_endOfTurnScheduled = false;
    State m_state = State::Idle;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true); // expires with the manager
};

} // namespace platform
