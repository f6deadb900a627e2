#pragma once

#include <QPlainTextEdit>

// The text panel's field for a layer's text. What is typed is one edit, told
// (editingFinished) when the operator ends it: Return or Enter, or the focus leaving the
// field. Tab and Shift+Tab move the focus as from any other field; Ctrl+Tab types a tab,
// and Shift or Ctrl with Return a line break.
class InspectorTextField : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit InspectorTextField(QWidget* parent = nullptr);

signals:
    void editingFinished();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};
