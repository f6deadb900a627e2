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

    // Moves the XML files among `urls` into the templates folder and answers how the
    // drop went to the drag's source: a move when every file moved, a copy when only
    // some did (so that the source deletes none of those that stayed), none when
    // nothing moved. Files that stayed are logged and named to the operator with why.
    Qt::DropAction acceptDrop(const QList<QUrl>& urls);
    // Moves the table's dragged items into the templates folder, each under its own
    // name; answers how many moved.
    int receiveDraggedItems();
    void openEditor();

    DragAndDropTableView1* tableView() const { return m_table; }
    TemplatesListModel* templates() const { return m_model; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Names the files that stayed, each with why, on the pane's window.
    void tellFilesStayed(const QStringList& reasons);

    QAction* m_templateEditorAction = nullptr;
    TemplatesListModel* m_model = nullptr;
    DragAndDropTableView1* m_table = nullptr;
};
