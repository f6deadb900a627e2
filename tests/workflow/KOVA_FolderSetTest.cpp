#include "workflow/folders/KOVA_DefaultsDelegate.h"
#include "workflow/folders/KOVA_FolderSet.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"

#include "FolderSetTesting.h"
#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "platform/plist/PropertyList.h"

#include <QDir>
#include <QSizeF>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using kova::test::FolderSetTest;

namespace {

const QString savedFolderSetsKey = QStringLiteral("KOVA_savedFolderSets");

std::shared_ptr<KOVA_FolderSet> folderSet(const QString& name, const QString& path = QStringLiteral("/srv/orders"))
{
    return std::make_shared<KOVA_FolderSet>(name, QUrl::fromLocalFile(path));
}

KOVA_FolderSetClass& folderSets() { return KOVA_FolderSet::classSide(); }

// Records what the folder sets pass up to the application.
struct RecordingDelegate : KOVA_DefaultsDelegate {
    void setDefaultObject(const QVariant& object, const QString& key) override
    {
        EXPECT_EQ(object.typeId(), QMetaType::QByteArray);
        keys.append(key);
    }
    QStringList keys;
};

// A mount other than "/" that the test machine surely has, or empty.
QUrl folderOnAnotherMount()
{
    for (const char* path : {"/dev/shm", "/proc", "/sys", "/run", "/dev"}) {
        const QUrl url = QUrl::fromLocalFile(QString::fromLatin1(path));
        const QUrl volume = ZORVAK_Extras_NSURL::volumeURL(url);
        if (!volume.isEmpty() && volume != ZORVAK_Extras_NSURL::localVolumeURL())
            return url;
    }
    return {};
}

} // namespace

class FolderSets : public FolderSetTest {};

// The saved list reads back whole and Python's plistlib, a reader of its own, sees each
// set's class chain and keys; a list that cannot be archived leaves the saved one alone.
TEST_F(FolderSets, savedListReadsBackAndOthersReadIt)
{
    auto orders = folderSet(QStringLiteral("Orders"), QStringLiteral("/srv/orders folder"));
    orders->setProperties({{QStringLiteral("enabled"), true}, {QStringLiteral("count"), 3}, {QStringLiteral("label"), QStringLiteral("é")}});
    orders->setBookmark(QByteArray("made\0elsewhere", 14));
    auto printSet = std::make_shared<KOVA_PrintToFileSet>(QStringLiteral("Path 1"));
    printSet->setProperties({{KOVA_PrintToFileSet::UploadFolderKey, QStringLiteral("fyp")}});
    const KOVA_FolderSetClass::FolderSets saved{orders, folderSet(QString()), printSet};
    folderSets().setFolderSets(saved);
    folderSets().saveFolderSets();
    advance(500ms);
    const QByteArray data = defaults()->dataForKey(savedFolderSetsKey);

    auto unarchivable = folderSet(QStringLiteral("Sized"));
    unarchivable->setProperties({{QStringLiteral("size"), QSizeF(1, 2)}});
    folderSets().setFolderSets({unarchivable});
    folderSets().saveFolderSets();
    advance(500ms);
    EXPECT_EQ(defaults()->dataForKey(savedFolderSetsKey), data);

    folderSets().updateFromSavedData();
    const auto loaded = folderSets().folderSets();
    ASSERT_EQ(loaded.size(), saved.size());
    for (qsizetype i = 0; i < saved.size(); ++i) {
        EXPECT_EQ(loaded[i]->archiveClassName(), saved[i]->archiveClassName());
        EXPECT_EQ(loaded[i]->name(), saved[i]->name());
        EXPECT_EQ(loaded[i]->URL(), saved[i]->URL());
        EXPECT_EQ(loaded[i]->properties(), saved[i]->properties());
        EXPECT_EQ(loaded[i]->bookmark(), saved[i]->bookmark());
    }

    if (kova::test::startsNoChildProcesses)
        return;
    EXPECT_EQ(kova::test::runPython(kova::test::ArchiveReading + QStringLiteral(R"(
for uid in follow(archive['$top']['root'])['NS.objects']:
    item = follow(uid)
    print(chain(item), *sorted(k for k in item if k != '$class'), chain(follow(item['self.properties'])))
)"), data),
              "KOVA_FolderSet,NSObject self.URL self.bookmark self.name self.properties NSMutableDictionary,NSDictionary,NSObject\n"
              "KOVA_FolderSet,NSObject self.URL self.name self.properties NSMutableDictionary,NSDictionary,NSObject\n"
              "KOVA_PrintToFileSet,KOVA_FolderSet,NSObject self.URL self.name self.properties NSMutableDictionary,NSDictionary,NSObject\n");
}

// An archive laid out by hand as the earlier system saved it: mutable options, a folder
// URL with a trailing slash, a bookmark of its own kind (kept as it is).
TEST_F(FolderSets, archiveMadeElsewhereIsRead)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    reloadFrom(folderSets(), kova::test::runPython(QStringLiteral(R"(
import plistlib, sys
objects = ['$null']
def add(item):
    objects.append(item)
    return plistlib.UID(len(objects) - 1)
cls = lambda *chain: add({'$classname': chain[0], '$classes': list(chain)})
mutable_dictionary, url, folder_set = cls('NSMutableDictionary', 'NSDictionary', 'NSObject'), cls('NSURL', 'NSObject'), cls('KOVA_FolderSet', 'NSObject')
def make(name, link, options, *bookmark):
    item = {'self.properties': add({'NS.keys': [add(k) for k in options], 'NS.objects': [add(v) for v in options.values()],
                                    '$class': mutable_dictionary}),
            'self.name': add(name), 'self.URL': add({'NS.base': plistlib.UID(0), 'NS.relative': add(link), '$class': url})}
    item.update({'self.bookmark': add(b) for b in bookmark}, **{'$class': folder_set})
    return add(item)
sets = [make('Hot Folder', 'file:///Users/operator/Hot%20Folder/', {'enabled': True, 'count': 3}, b'book\x00mark'),
        make('Second', 'file:///srv/orders/', {})]
root = add({'NS.objects': sets, '$class': cls('NSMutableArray', 'NSArray', 'NSObject')})
archive = {'$archiver': 'NSKeyedArchiver', '$version': 100000, '$top': {'root': root}, '$objects': objects}
sys.stdout.buffer.write(plistlib.dumps(archive, fmt=plistlib.FMT_BINARY))
)")));
    const auto loaded = folderSets().folderSets();
    ASSERT_EQ(namesOf(loaded), QStringList({QStringLiteral("Hot Folder"), QStringLiteral("Second")}));
    EXPECT_EQ(loaded[0]->URL().toLocalFile(), QStringLiteral("/Users/operator/Hot Folder/"));
    EXPECT_EQ(loaded[0]->properties(), QVariantMap({{QStringLiteral("enabled"), true}, {QStringLiteral("count"), 3}}));
    EXPECT_EQ(loaded[0]->bookmark(), QByteArray("book\0mark", 9));
    EXPECT_TRUE(loaded[1]->bookmark().isNull());
}

// Rows with a set to rename run setName on that listed set, which never clashes with itself.
TEST_F(FolderSets, namesAreCountedOnUntilNoOtherSetHasThem)
{
    struct Case {
        QStringList listed;
        QString name;
        QString expected;
        int renamed = -1;
    };
    const Case cases[] = {
        {{}, QStringLiteral("Folder"), QStringLiteral("Folder")},
        {{QStringLiteral("folder")}, QStringLiteral("Folder"), QStringLiteral("Folder 1")},
        {{QStringLiteral("Folder 1"), QStringLiteral("Folder 2")}, QStringLiteral("Folder 1"), QStringLiteral("Folder 3")},
        {{QStringLiteral("Folder 7")}, QStringLiteral("Folder 7"), QStringLiteral("Folder 8")},
        {{QStringLiteral("Folder"), QStringLiteral("Folder 1")}, QStringLiteral("folder"), QStringLiteral("folder 2")},
        {{QStringLiteral("A")}, QString(), QString()},
        {{QStringLiteral("Folder"), QStringLiteral("Other")}, QStringLiteral("FOLDER"), QStringLiteral("FOLDER"), 0},
        {{QStringLiteral("Folder"), QStringLiteral("Other")}, QStringLiteral("folder"), QStringLiteral("folder 1"), 1},
    };
    for (const Case& c : cases) {
        KOVA_FolderSetClass::FolderSets listed;
        for (const QString& name : c.listed)
            listed.append(folderSet(name));
        folderSets().setFolderSets(listed);
        if (c.renamed >= 0)
            listed[c.renamed]->setName(c.name);
        const QString result = c.renamed >= 0 ? listed[c.renamed]->name() : folderSets().validateName(c.name);
        EXPECT_EQ(result, c.expected) << c.listed.join(u',').toStdString() << " + " << c.name.toStdString();
    }
}

TEST_F(FolderSets, identityIgnoresCaseAndLooksDownTheClassTree)
{
    auto base = folderSet(QStringLiteral("Path 1"));
    auto print = std::make_shared<KOVA_PrintToFileSet>(QStringLiteral("PATH 1"));
    EXPECT_TRUE(base->isEqual(folderSet(QStringLiteral("path 1")).get()));
    EXPECT_TRUE(base->isEqual(print.get()));
    EXPECT_FALSE(print->isEqual(base.get()));
    EXPECT_FALSE(base->isEqual(folderSet(QStringLiteral("Path 11")).get()));
    EXPECT_EQ(base->hash(), print->hash());
    EXPECT_EQ(print->copy()->archiveClassName(), KOVA_PrintToFileSet::ClassName);

    folderSets().setFolderSets({base, folderSet(QStringLiteral("Other"))});
    folderSets().removeFolderSet(folderSet(QStringLiteral("PATH 1")));
    EXPECT_EQ(namesOf(folderSets().folderSets()), QStringList{QStringLiteral("Other")});
}

TEST_F(FolderSets, folderOnAnotherMountKeepsABookmarkOfItsPath)
{
    const QUrl elsewhere = folderOnAnotherMount();
    if (elsewhere.isEmpty())
        GTEST_SKIP() << "no mount besides /";
    auto set = folderSet(QStringLiteral("Mounted"));
    set->setURL(elsewhere);
    EXPECT_EQ(platform::PropertyList::fromData(set->bookmark()),
              QVariantMap({{KOVA_FolderSet::BookmarkPathKey, elsewhere.toLocalFile()},
                           {KOVA_FolderSet::BookmarkMountPointKey, ZORVAK_Extras_NSURL::volumeURL(elsewhere).toLocalFile()}}));
    EXPECT_EQ(set->URL(), elsewhere);
    set->setURL(QUrl::fromLocalFile(QDir::rootPath()));
    EXPECT_TRUE(set->bookmark().isNull());
}

// Saves and notices are coalesced per class on the main queue; observers are held weakly.
TEST_F(FolderSets, savesAndNoticesRunOnceAfterABurst)
{
    auto delegate = std::make_shared<RecordingDelegate>();
    KOVA_DefaultsDelegate::installDelegate(delegate);
    KOVA_PrintToFileSet::classSide().folderSets();
    folderSets().setFolderSets({folderSet(QStringLiteral("Burst"))});
    defaults()->removeObjectForKey(savedFolderSetsKey);
    advance(1s); // the removal's own notice
    int notices = 0;
    auto observer = std::make_shared<int>();
    auto vanished = std::make_shared<int>();
    folderSets().addObserver(observer, [&](const KOVA_FolderSetClass::FolderSets& sets) {
        ++notices;
        EXPECT_EQ(namesOf(sets), QStringList{QStringLiteral("Burst")});
    });
    folderSets().addObserver(vanished, [](const KOVA_FolderSetClass::FolderSets&) { ADD_FAILURE() << "observer is gone"; });
    vanished.reset();

    folderSets().saveFolderSets();
    advance(300ms);
    folderSets().saveFolderSets();
    KOVA_PrintToFileSet::classSide().saveFolderSets();
    advance(499ms);
    EXPECT_TRUE(delegate->keys.isEmpty());
    EXPECT_FALSE(defaults()->objectForKey(savedFolderSetsKey).isValid());
    advance(1ms);
    delegate->keys.sort();
    EXPECT_EQ(delegate->keys, QStringList({savedFolderSetsKey, QStringLiteral("KOVA_savedPrintToFileSets")}));
    EXPECT_FALSE(defaults()->dataForKey(savedFolderSetsKey).isEmpty());

    advance(99ms);
    EXPECT_EQ(notices, 0);
    advance(1ms);
    EXPECT_EQ(notices, 1);
    advance(1s);
    EXPECT_EQ(notices, 1);
    folderSets().removeObserver(observer.get());
    KOVA_DefaultsDelegate::installDelegate(nullptr);
}
