#include "editor/lists/TemplateEditorLists.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/queues/ZORVAK_FileEvent.h"
#include "editor/lists/PackageFolderScan.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"

TemplateEditorLists::TemplateEditorLists(QObject* parent)
    : QObject(parent)
{
    m_arrangedPackages.setSourceModel(&m_packages);
}

TemplateEditorLists::~TemplateEditorLists()
{
    stop();
    *m_self = nullptr;
}

void TemplateEditorLists::changeInputFilePath(const QString& folder)
{
    if (folder.isEmpty() || m_fileEvents.contains(folder))
        return;
    m_templates.setEntries({});
    monitorFilePath(folder, [self = m_self, folder] {
        const QList<TemplateEntry> entries = TemplateFolderScan::scan(folder);
        ZORVAK_Dispatch::performAsyncOnMainQueue([self, entries] {
            if (TemplateEditorLists* lists = *self)
                emit lists->templatesListed(entries);
        });
    });
}

void TemplateEditorLists::monitorPackagesFolder()
{
    const QString folder = platform::UserDefaults::standardUserDefaults()->stringForKey(key_kovaFolderPackages);
    if (folder.isEmpty()) {
        platform::Log::log(QStringLiteral("No Path set for KOVA Packages folder"));
        return;
    }
    if (m_fileEvents.contains(folder))
        return;
    m_packages.setEntries({});
    auto scan = std::make_shared<PackageFolderScan>(folder);
    monitorFilePath(folder, [self = m_self, scan] {
        const PackageFolderScan::List& listed = scan->scan();
        const QList<DocumentListModel::Entry> packages(listed.cbegin(), listed.cend());
        ZORVAK_Dispatch::performAsyncOnMainQueue([self, packages] {
            if (TemplateEditorLists* lists = *self)
                lists->packagesListed(packages);
        });
    });
}

void TemplateEditorLists::stop()
{
    m_fileEvents.clear();
}

void TemplateEditorLists::monitorFilePath(const QString& path, EventBlock block)
{
    auto watcher = std::make_shared<ZORVAK_FileEvent>(path);
    watcher->setEventBlock([block = std::move(block)](const QStringList&, const ZORVAK_FileEvent::Flags&) { block(); });
    m_fileEvents.insert(path, watcher);
    watcher->setRun(true);
}

void TemplateEditorLists::packagesListed(const QList<DocumentListModel::Entry>& packages)
{
    m_packages.setEntries(packages);
}
