#include "editor/inspector/InspectorTextField.h"

#include <QKeyEvent>

namespace {

bool isReturn(const QKeyEvent& event)
{
    return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

} // namespace

InspectorTextField::InspectorTextField(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
}

void InspectorTextField::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Tab && modifiers == Qt::ControlModifier) {
        insertPlainText(QStringLiteral("\t"));
    } else if (isReturn(*event) && (modifiers & (Qt::ShiftModifier | Qt::ControlModifier))) {
        insertPlainText(QStringLiteral("\n"));
    } else if (isReturn(*event) && modifiers == Qt::NoModifier) {
        emit editingFinished();
    } else {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    event->accept();
}

void InspectorTextField::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    // A context menu opened on the field leaves the edit going on.
    if (event->reason() != Qt::PopupFocusReason)
        emit editingFinished();
}
