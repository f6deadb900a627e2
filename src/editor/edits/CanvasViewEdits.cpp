#include "editor/edits/CanvasViewEdits.h"

#include "editor/canvas/KOVA_TemplateEditorView.h"

CanvasViewEdits::CanvasViewEdits(KOVA_TemplateEditorView& view)
    : m_view(&view)
{
    view.setEdits(this);
}

CanvasViewEdits::~CanvasViewEdits()
{
    if (m_view)
        m_view->setEdits(nullptr);
}

void CanvasViewEdits::setTemplateObject(const Pointer& templateObject)
{
    KOVA_TemplateEditorEdits::setTemplateObject(templateObject);
    if (m_view)
        m_view->setTemplateObject(templateObject);
}

void CanvasViewEdits::updatePreview(Completion completion)
{
    if (m_view)
        m_view->updatePreview(std::move(completion));
}
