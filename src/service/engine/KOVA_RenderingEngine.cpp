#include "service/engine/KOVA_RenderingEngine.h"

#include "core/foundation/ZORVAK_Audit.h"
#include "core/observation/OBKVONotificationCenter.h"
#include "platform/ipc/ServiceDelegate.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "workflow/folders/KOVA_FolderSetClass.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"
#include "workflow/jobs/KOVA_Job.h"

#include <mutex>

KOVA_RenderingEngine::KOVA_RenderingEngine(ServiceDelegate& serviceDelegate)
    : m_serviceDelegate(serviceDelegate)
{
    observeSavedPrintToFileSets();
}

void KOVA_RenderingEngine::observeSavedPrintToFileSets()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Observers hear of a change on the thread that wrote it: the list is
        // read again before the write returns.
        static const auto observation = OBKVONotificationCenter::addObservationKeyPath(
            platform::UserDefaults::standardUserDefaults(), KOVA_PrintToFileSet::classSide().keyForSavedFolderSets(),
            platform::KeyValueObservingOptionNew,
            [](const OBKVONotification&) { KOVA_PrintToFileSet::classSide().updateFromSavedData(); });
    });
}

bool KOVA_RenderingEngine::setObject(const QVariant& value, const QString& key, platform::Error* error)
{
    m_serviceDelegate.enterRequest();
    const bool stored = platform::UserDefaults::standardUserDefaults()->setObject(value, key, error);
    m_serviceDelegate.leaveRequest();
    return stored;
}

KOVA_RenderingEngine::Result KOVA_RenderingEngine::jobTicketPath(const QString& path)
{
    m_serviceDelegate.enterRequest();
    const Result result = runTicket(path);
    m_serviceDelegate.leaveRequest();
    return result;
}

KOVA_RenderingEngine::Result KOVA_RenderingEngine::runTicket(const QString& path)
{
    platform::Log::log(QStringLiteral("Commencing job processing for job file:%1").arg(path));
    ZORVAK_Audit::clearStack();
    const std::shared_ptr<KOVA_Job> job = KOVA_Job::instanceWithXMLObject(path);
    if (!job) {
        const QString message = QStringLiteral("cannot make a job from %1").arg(path);
        platform::Log::error(message);
        return { false, { platform::Error::CocoaDomain, -1, message } };
    }
    Result result { true, {} };
    ServiceDelegate::group()->enter();
    job->processJob([&result](const platform::Error& error) {
        if (!error.isNull()) {
            result = { false, error };
            platform::Log::log(error.description());
        }
        ServiceDelegate::group()->leave();
    });
    return result;
}
