#include "app/processor/JobDrop.h"

#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "platform/Log.h"
#include "platform/files/UTType.h"
#include "workflow/folders/KOVA_JobFolders.h"

#include <QFileInfo>
#include <QMimeData>

bool JobDrop::canDrop(Qt::DropActions offered, const QMimeData* data)
{
    return (offered & Qt::MoveAction) && data && data->hasUrls();
}

QList<QUrl> JobDrop::acceptableURLs(const QMimeData* data)
{
    QList<QUrl> kept;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()
            && (ZORVAK_Extras_NSURL::conformsToUTType(url, QStringLiteral("public.xml"))
                || ZORVAK_Extras_NSURL::conformsToUTType(url, platform::UTType::jobBundle)))
            kept << url;
    }
    return kept;
}

bool JobDrop::acceptDrop(Qt::DropActions offered, const QMimeData* data)
{
    platform::Log::log(QStringLiteral("-[DragAndDropTableView tableView:acceptDrop:row:dropOperation:]"));
    if (!canDrop(offered, data))
        return false;
    const QList<QUrl> kept = acceptableURLs(data);
    if (kept.isEmpty())
        return false;
    KOVA_JobFolders::addJobFiles(kept);
    return std::any_of(kept.begin(), kept.end(), [](const QUrl& url) { return !QFileInfo::exists(url.toLocalFile()); });
}
