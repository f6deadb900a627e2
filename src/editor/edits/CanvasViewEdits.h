#pragma once

#include "editor/edits/KOVA_TemplateEditorEdits.h"

#include <QPointer>

class KOVA_TemplateEditorView;

// The undoable edits of the editor's canvas widget: the view shows the template they
// edit, is refreshed after each edit and commits its gestures through them. The view
// may go first; from then on the edits refresh nothing.
class CanvasViewEdits final : public KOVA_TemplateEditorEdits {
public:
    explicit CanvasViewEdits(KOVA_TemplateEditorView& view);
    ~CanvasViewEdits() override;

    void setTemplateObject(const Pointer& templateObject) override;
    void updatePreview(Completion completion) override;

private:
    QPointer<KOVA_TemplateEditorView> m_view;
};
