#pragma once

#include "template/KOVA_Template.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>

namespace platform {
class UndoManager;
}

// The editor's memory of each template file: the undo history of the object last
// loaded from it, and the file's generation when that object last read or wrote it.
// An object is remembered weakly, so a new object that happens to take the place of
// an old one never inherits its history.
class TemplateDocuments {
public:
    using Pointer = KOVA_Template::Pointer;
    using UndoPointer = std::shared_ptr<platform::UndoManager>;

    // The undo manager for loading `templateObject`: the file's own while the same
    // object is loaded again, else a new one kept for the file from now on. None for
    // a template without a file.
    UndoPointer undoManagerForLoading(const Pointer& templateObject);
    // The file's generation as last read or written by the editor; empty when unknown.
    QByteArray generation(const QString& path) const;
    void setGeneration(const QString& path, const QByteArray& generation);
    // Files the document under its new path after Save As, history and all.
    void rekey(const QString& fromPath, const QString& toPath);
    // Forgets the object of the file, so that the next load starts a new history.
    void forget(const QString& path);

private:
    struct Document {
        std::weak_ptr<KOVA_Template> identity;
        UndoPointer undo;
        QByteArray generation;
    };

    QHash<QString, Document> m_documents;
};
