#include "app/preferences/FolderSetChooser.h"

#include "core/ui/ZORVAK_NSObjectOpenSave.h"
#include "platform/files/UTType.h"
#include "workflow/folders/KOVA_FolderSet.h"

#include <QFileDialog>
#include <QWidget>

void FolderSetChooser::choose(const std::shared_ptr<KOVA_FolderSet>& folderSet, QWidget* sender)
{
    if (!folderSet)
        return;
    QVariantMap options {
        { QStringLiteral("message"), QStringLiteral("Choose a Folder for '%1'").arg(folderSet->name()) },
        { QStringLiteral("canChooseFiles"), false },
        { QStringLiteral("canChooseDirectories"), true },
        { QStringLiteral("canCreateDirectories"), true },
        { QStringLiteral("allowsMultipleSelection"), false },
        { QStringLiteral("allowedFileTypes"), QStringList { QStringLiteral("public.folder") } },
    };
    if (!folderSet->URL().isEmpty())
        options.insert(QStringLiteral("directoryURL"), folderSet->URL());
    if (sender && sender->window())
        options.insert(QStringLiteral("window"), QVariant::fromValue<QWidget*>(sender->window()));
    ZORVAK_NSObjectOpenSave::openPanelWithOptions(options, [folderSet](QFileDialog* panel, int response) {
        if (response == ZORVAK_NSObjectOpenSave::kResponseOK && !panel->selectedUrls().isEmpty())
            folderSet->setURL(panel->selectedUrls().constFirst());
    });
}
