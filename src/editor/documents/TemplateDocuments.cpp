#include "editor/documents/TemplateDocuments.h"

#include "platform/undo/UndoManager.h"

TemplateDocuments::UndoPointer TemplateDocuments::undoManagerForLoading(const Pointer& templateObject)
{
    const QString path = templateObject ? templateObject->documentURL().toLocalFile() : QString();
    if (path.isEmpty())
        return nullptr;
    Document& document = m_documents[path];
    const bool sameObject = document.identity.lock() == templateObject;
    document.identity = templateObject;
    if (!sameObject || !document.undo)
        document.undo = std::make_shared<platform::UndoManager>();
    return document.undo;
}

QByteArray TemplateDocuments::generation(const QString& path) const
{
    return m_documents.value(path).generation;
}

void TemplateDocuments::setGeneration(const QString& path, const QByteArray& generation)
{
    m_documents[path].generation = generation;
}

void TemplateDocuments::rekey(const QString& fromPath, const QString& toPath)
{
    if (fromPath == toPath || !m_documents.contains(fromPath))
        return;
    m_documents.insert(toPath, m_documents.take(fromPath));
}

void TemplateDocuments::forget(const QString& path)
{
    m_documents.remove(path);
}
