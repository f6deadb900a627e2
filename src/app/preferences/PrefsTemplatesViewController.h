#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class DragAndDropTableView1;
class QAction;
class TemplatesListModel;

// The templates pane: the templates of the templates folder (its preference),
// watched while the pane lives; XML files dropped on the table are moved into
// that folder, never over a file of the same name; a button opens the editor.
class PrefsTemplatesViewController : public QWidget {
    Q_OBJECT
public:
    static inline const QString identifier = QStringLiteral("prefsTemplates");

    // `templateEditorAction`, the application's action that shows the template
    // editor, may be null.
    explicit PrefsTemplatesViewController(QAction* templateEditorAction, QWidget* parent = nullptr);

    // Takes a drop of the XML files among `urls` when there is a templates folder
    // to move them into, and moves them.
    bool acceptDrop(const QList<QUrl>& urls);
    // Moves the table's dragged items into the templates folder, each under its own name.
    void receiveDraggedItems();
    void openEditor();

    DragAndDropTableView1* tableView() const { return m_table; }
    TemplatesListModel* templates() const { return m_model; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QAction* m_templateEditorAction = nullptr;
    TemplatesListModel* m_model = nullptr;
    DragAndDropTableView1* m_table = nullptr;
};
