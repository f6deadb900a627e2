#include "KOVA_RunTree.h"

#include "core/foundation/KOVA_Constants.h"
#include "platform/Error.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StandardPaths.h"
#include "workflow/delivery/KOVA_OutputPrintCentreDelivery.h"
#include "workflow/folders/KOVA_FolderSetClass.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <cstdlib>

KOVA_RunTree::KOVA_RunTree()
    : m_temporary(std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kova-run-XXXXXX")))
{
    if (!m_temporary->isValid())
        return;
    m_root = m_temporary->path();
    pointEnvironment();
}

KOVA_RunTree::KOVA_RunTree(const QString& folder)
{
    if (!QDir().mkpath(folder)) {
        platform::Log::error(QStringLiteral("could not make %1").arg(folder));
        return;
    }
    m_root = QDir(folder).absolutePath();
    pointEnvironment();
}

void KOVA_RunTree::setKept(bool kept)
{
    if (m_temporary)
        m_temporary->setAutoRemove(!kept);
}

bool KOVA_RunTree::isSetUp() const
{
    return QFileInfo::exists(setUpMark());
}

bool KOVA_RunTree::markSetUp() const
{
    platform::Error error;
    if (platform::FileOperations::writeFileAtomically(setUpMark(), QByteArray(), &error))
        return true;
    platform::Log::error(QStringLiteral("could not mark %1 as set up (error:%2)").arg(root(), error.description()));
    return false;
}

void KOVA_RunTree::pointEnvironment() const
{
    platform::StandardPaths::pointEveryDomainInto(root());
    // Print jobs are assembled in the tree too.
    const QString temporary = root() + QStringLiteral("/tmp");
    QDir().mkpath(temporary);
    setenv("TMPDIR", QFile::encodeName(temporary).constData(), 1);
}

namespace {
bool makeFolder(const QString& folder)
{
    if (QDir().mkpath(folder))
        return true;
    platform::Log::error(QStringLiteral("could not make %1").arg(folder));
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
    const auto pressoria = platform::UserDefaults::initWithSuiteName(KOVA_OutputPrintCentreDelivery::PressoriaSuiteName);
    const bool written = defaults->setURL(QUrl::fromLocalFile(examples + QStringLiteral("/KOVA/Packages")), key_kovaFolderPackages)
        && defaults->setURL(QUrl::fromLocalFile(examples + QStringLiteral("/KOVA/Templates")), key_kovaFolderTemplates)
        && defaults->setURL(QUrl::fromLocalFile(completedFolder()), key_kovaFolderJobsCompleted)
        && defaults->setURL(QUrl::fromLocalFile(failedFolder()), key_kovaFolderJobsFailed)
        && defaults->setBool(true, key_kovaProcessorIsRunning)
        && pressoria->setURL(QUrl::fromLocalFile(printCentreFolder()), KOVA_OutputPrintCentreDelivery::HotFolderKey);
    if (!written)
        return false;
    KOVA_FolderSetClass& sets = KOVA_PrintToFileSet::classSide();
    for (const auto& set : sets.folderSets()) {
        const QString folder = deliveredFolder() + QLatin1Char('/') + set->name();
        if (!makeFolder(folder))
            return false;
        set->setURL(QUrl::fromLocalFile(folder));
    }
    // Saved before any ticket is dropped rather than after the sets' usual wait: a run
    // killed once its first ticket landed carries on with them.
    return sets.writeSavedData();
}
