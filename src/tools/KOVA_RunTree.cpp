#include "KOVA_RunTree.h"

#include "core/foundation/KOVA_Constants.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "workflow/delivery/KOVA_OutputPrintCentreDelivery.h"
#include "workflow/folders/KOVA_FolderSetClass.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"

#include <QDir>
#include <QUrl>

#include <algorithm>
#include <cstdlib>

KOVA_RunTree::KOVA_RunTree()
    : m_root(QDir::tempPath() + QStringLiteral("/kova-run-XXXXXX"))
{
    if (m_root.isValid())
        pointEnvironment();
}

void KOVA_RunTree::pointEnvironment() const
{
    const auto point = [this](const char* variable, const QString& sub) {
        const QString path = root() + QLatin1Char('/') + sub;
        QDir().mkpath(path);
        setenv(variable, QFile::encodeName(path).constData(), 1);
    };
    point("HOME", QStringLiteral("home"));
    point("XDG_CONFIG_HOME", QStringLiteral("home/.config"));
    point("XDG_STATE_HOME", QStringLiteral("home/.local/state"));
    point("XDG_DATA_HOME", QStringLiteral("home/.local/share"));
    point("XDG_CACHE_HOME", QStringLiteral("home/.cache"));
    point("XDG_RUNTIME_DIR", QStringLiteral("runtime"));
    point("KOVA_LOCAL_DOMAIN", QStringLiteral("local"));
    point("TMPDIR", QStringLiteral("tmp"));
    QFile::setPermissions(root() + QStringLiteral("/runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // No session bus: never the user's own.
    setenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName(QStringLiteral("unix:path=") + root() + QStringLiteral("/runtime/no-bus")).constData(), 1);
}

namespace {
bool makeFolder(const QString& folder)
{
    if (QDir().mkpath(folder))
        return true;
    platform::Log::error(QStringLiteral("ERROR: could not make %1").arg(folder));
    return false;
}
} // namespace

bool KOVA_RunTree::makeFolders() const
{
    const QStringList folders{incomingFolder(), completedFolder(), failedFolder(), deliveredFolder(), printCentreFolder()};
    return std::all_of(folders.cbegin(), folders.cend(), makeFolder);
}

bool KOVA_RunTree::writePreferences(const QString& examples) const
{
    if (!makeFolders())
        return false;
    const auto defaults = platform::UserDefaults::standardUserDefaults();
    defaults->setURL(QUrl::fromLocalFile(examples + QStringLiteral("/KOVA/Packages")), key_kovaFolderPackages);
    defaults->setURL(QUrl::fromLocalFile(examples + QStringLiteral("/KOVA/Templates")), key_kovaFolderTemplates);
    defaults->setURL(QUrl::fromLocalFile(completedFolder()), key_kovaFolderJobsCompleted);
    defaults->setURL(QUrl::fromLocalFile(failedFolder()), key_kovaFolderJobsFailed);
    defaults->setBool(true, key_kovaProcessorIsRunning);
    const auto pressoria = platform::UserDefaults::initWithSuiteName(KOVA_OutputPrintCentreDelivery::PressoriaSuiteName);
    pressoria->setURL(QUrl::fromLocalFile(printCentreFolder()), KOVA_OutputPrintCentreDelivery::HotFolderKey);
    for (const auto& set : KOVA_PrintToFileSet::classSide().folderSets()) {
        const QString folder = deliveredFolder() + QLatin1Char('/') + set->name();
        if (!makeFolder(folder))
            return false;
        set->setURL(QUrl::fromLocalFile(folder));
    }
    return true;
}
