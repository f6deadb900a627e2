#include "editor/window/TemplateEditorPresenter.h"

#include "editor/window/KOVA_TemplateEditor.h"

#include <QPointer>

namespace {

// The application's hold on the one template editor: made on show, released when its
// window closes (by the user, after the unsaved-changes policy, or by the application).
class EditorPresenter : public TemplateEditorPresenter {
public:
    ~EditorPresenter() override
    {
        if (m_editor) {
            m_editor->setClosedHandler({});
            delete m_editor.data();
        }
    }

    void show(const QList<QAction*>& sharedActions) override
    {
        if (!m_editor) {
            m_editor = new KOVA_TemplateEditor;
            m_editor->addSharedActions(sharedActions);
            m_editor->setClosedHandler([this] {
                m_editor = nullptr;
                if (m_closedHandler)
                    m_closedHandler();
            });
        }
        m_editor->showWindow();
    }

    void close() override
    {
        if (!m_editor)
            return;
        m_editor->setClosedHandler({});
        m_editor->closeTemplateEditor();
        m_editor = nullptr;
    }

    QWidget* window() const override { return m_editor; }

    void confirmQuit(std::function<void(bool proceed)> completion) override
    {
        if (m_editor)
            m_editor->confirmQuit(std::move(completion));
        else
            completion(true);
    }

    void setClosedHandler(std::function<void()> handler) override { m_closedHandler = std::move(handler); }

private:
    QPointer<KOVA_TemplateEditor> m_editor;
    std::function<void()> m_closedHandler;
};

} // namespace

std::unique_ptr<TemplateEditorPresenter> TemplateEditorPresenter::create()
{
    return std::make_unique<EditorPresenter>();
}
