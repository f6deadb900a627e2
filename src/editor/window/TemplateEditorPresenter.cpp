#include "editor/window/TemplateEditorPresenter.h"

#include "core/ui/ApplicationMenu.h"
#include "editor/canvas/KOVA_TemplateEditorView.h"

#include <QCloseEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>

namespace {

// Until the editor's own window exists: the canvas on an empty template in a
// plain window.
class CanvasWindow : public QMainWindow {
public:
    std::function<void()> closedByUser;
    bool closingForApplication = false;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        QMainWindow::closeEvent(event);
        if (!closingForApplication && closedByUser)
            closedByUser();
        deleteLater();
    }
};

class CanvasPresenter : public TemplateEditorPresenter {
public:
    void show(const QList<QAction*>& sharedActions) override
    {
        if (!m_window) {
            m_window = new CanvasWindow;
            m_window->setAttribute(Qt::WA_DeleteOnClose, false);
            m_window->setWindowTitle(QStringLiteral("Template Editor"));
            m_window->setCentralWidget(new KOVA_TemplateEditorView);
            ApplicationMenu::addTo(m_window->menuBar(), sharedActions);
            m_window->closedByUser = [this] {
                if (m_closedHandler)
                    m_closedHandler();
            };
            m_window->resize(900, 700);
        }
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
    }

    void close() override
    {
        if (!m_window)
            return;
        m_window->closingForApplication = true;
        m_window->close();
        m_window = nullptr;
    }

    QWidget* window() const override { return m_window; }

    void confirmQuit(std::function<void(bool proceed)> completion) override { completion(true); }

    void setClosedHandler(std::function<void()> handler) override { m_closedHandler = std::move(handler); }

    ~CanvasPresenter() override
    {
        if (m_window)
            m_window->closedByUser = nullptr;
    }

private:
    QPointer<CanvasWindow> m_window;
    std::function<void()> m_closedHandler;
};

} // namespace

std::unique_ptr<TemplateEditorPresenter> TemplateEditorPresenter::create()
{
    return std::make_unique<CanvasPresenter>();
}
