#include "platform/ipc/ServiceDelegate.h"
#include "platform/plist/KeyedArchiver.h"
#include "service/engine/KOVA_RenderingEngine.h"
#include "workflow/folders/KOVA_FolderSetClass.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"

#include <gtest/gtest.h>

// A stored print-to-file archive is the service's list by the time the store returns.
TEST(KOVA_RenderingEngine, StoredPrintToFileSetsAreInEffectAtOnce)
{
    ServiceDelegate delegate(QDBusConnection(QStringLiteral("no bus")), {}, KOVA_RenderingEngine::IdleSeconds);
    KOVA_RenderingEngine engine(delegate);
    KOVA_FolderSetClass& side = KOVA_PrintToFileSet::classSide();
    const auto first = std::dynamic_pointer_cast<KOVA_PrintToFileSet>(side.makeFolderSet(QStringLiteral("Path 1")));
    const bool webUpload = !std::dynamic_pointer_cast<KOVA_PrintToFileSet>(side.folderSetWithName(QStringLiteral("Path 1")))->webUpload();
    first->setWebUpload(webUpload);
    const KOVA_FolderSetClass::FolderSets sets { first };
    const QByteArray archive = platform::KeyedArchiver::archivedDataWithRootObject(sets);
    ASSERT_FALSE(archive.isEmpty());

    engine.setObject(archive, side.keyForSavedFolderSets());
    EXPECT_EQ(std::dynamic_pointer_cast<KOVA_PrintToFileSet>(side.folderSetWithName(QStringLiteral("Path 1")))->webUpload(),
        webUpload);
}
