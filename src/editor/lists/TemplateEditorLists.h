#pragma once

#include "editor/lists/DocumentListModel.h"
#include "editor/lists/PackageFilterModel.h"
#include "editor/lists/TemplateFolderScan.h"

#include <QHash>
#include <QObject>

#include <memory>

class PackageFolderScan;
class ZORVAK_FileEvent;

// The sidebar's two lists, kept current by folder watchers: each event lists its folder
// on the watcher's queue and hands the new content to the main thread, where the
// models are swapped and read. Hops to the main thread are asynchronous only, so that
// stopping the watchers on the main thread never waits for a block that waits for it.
class TemplateEditorLists : public QObject {
    Q_OBJECT
public:
    explicit TemplateEditorLists(QObject* parent = nullptr);
    ~TemplateEditorLists() override;

    // Watches the templates folder (once per path).
    void changeInputFilePath(const QString& folder);
    // Watches the folder of the packages preference; logs when there is none.
    void monitorPackagesFolder();
    // Stops every watcher: once this returns no listing runs and none is delivered.
    void stop();

    DocumentListModel& templates() { return m_templates; }
    DocumentListModel& packages() { return m_packages; }
    PackageFilterModel& arrangedPackages() { return m_arrangedPackages; }

signals:
    // A new listing of the templates folder, on the main thread, for the editor to swap in.
    void templatesListed(const QList<TemplateEntry>& entries);

private:
    using EventBlock = std::function<void()>;
    void monitorFilePath(const QString& path, EventBlock block);
    void packagesListed(const QList<DocumentListModel::Entry>& packages);

    // This object while it lives, read and cleared on the main thread only: a listing
    // handed over after the end is dropped.
    std::shared_ptr<TemplateEditorLists*> m_self = std::make_shared<TemplateEditorLists*>(this);
    QHash<QString, std::shared_ptr<ZORVAK_FileEvent>> m_fileEvents;
    DocumentListModel m_templates;
    DocumentListModel m_packages;
    PackageFilterModel m_arrangedPackages;
};
