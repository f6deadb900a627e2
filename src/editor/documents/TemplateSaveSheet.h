#pragma once

#include "editor/documents/UnsavedChangesPolicy.h"

#include <QDialog>

class QCheckBox;
class QPushButton;

// The sheet that asks what to do with the open template's unsaved changes: Save,
// Don't Save or Cancel, and a box that makes the choice permanent (the button titles
// follow it). Window-modal, opened with open(); answered() carries the button's
// answer after the policy it makes permanent has been stored. Closing it counts as
// Cancel. It deletes itself once answered.
class TemplateSaveSheet : public QDialog {
    Q_OBJECT
public:
    TemplateSaveSheet(const QString& templateName, QWidget* parent);

    // Answers as the button with the answer does.
    void answer(UnsavedChangesPolicy::Answer answer);
    QCheckBox* doNotAskBox() const { return m_doNotAsk; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* dontSaveButton() const { return m_dontSave; }

signals:
    void answered(int answer);

protected:
    void reject() override;

private:
    void updateTitles();

    QCheckBox* m_doNotAsk = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_dontSave = nullptr;
    bool m_answered = false;
};
