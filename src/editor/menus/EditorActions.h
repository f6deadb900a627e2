#pragma once

#include <QAction>
#include <QObject>

class QMimeData;

// What the editor's commands depend on at one moment.
struct EditorSituation {
    bool hasTemplate = false;
    bool hasUnsavedChanges = false;
    bool hasFile = false;
    int layerCount = 0;
    int selectedLayerCount = 0;
    bool canUndo = false;
    bool canRedo = false;
    QString undoTitle = QStringLiteral("Undo");
    QString redoTitle = QStringLiteral("Redo");
    bool pasteboardReadable = false;
};

// The editor's commands. Shortcuts fire with no menu open, so every action's state
// and title follow the situation whenever it changes (template, selection, undo,
// clipboard), not only when a menu shows.
class EditorActions : public QObject {
    Q_OBJECT
public:
    explicit EditorActions(QObject* parent = nullptr);

    // Whether pasting `data` can make a layer: a picture or text the template reads.
    static bool isReadable(const QMimeData* data);
    void update(const EditorSituation& situation);

    QAction newTemplate{QStringLiteral("New Template…")};
    QAction save{QStringLiteral("Save")};
    QAction saveAs{QStringLiteral("Save As…")};
    QAction savePNG{QStringLiteral("Save as PNG…")};
    QAction undo{QStringLiteral("Undo")};
    QAction redo{QStringLiteral("Redo")};
    QAction cut{QStringLiteral("Cut")};
    QAction copy{QStringLiteral("Copy")};
    QAction paste{QStringLiteral("Paste")};
    QAction deleteLayers{QStringLiteral("Delete Layer")};
    QAction selectAll{QStringLiteral("Select All")};
    QAction addTextLayer{QStringLiteral("Add Text Layer")};
    QAction addStampLayer{QStringLiteral("Add Stamp Layer")};
    QAction addGraphicLayer{QStringLiteral("Add Graphic Layer")};
    QAction addImageLayer{QStringLiteral("Add Image Layer")};
    QAction showLayerOutlines{QStringLiteral("Show Layer Outlines")};
    QAction reveal{QStringLiteral("Reveal in File Manager")};
    QAction moveToTrash{QStringLiteral("Move to Trash")};
};
