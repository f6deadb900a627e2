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
const QString savedPrintToFileSetsKey = QStringLiteral("KOVA_savedPrintToFileSets");

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

TEST_F(FolderSets, savedListReadsBackWithEveryField)
{
    auto withEverything = folderSet(QStringLiteral("Orders"), QStringLiteral("/srv/orders folder"));
    withEverything->setProperties({{QStringLiteral("enabled"), true}, {QStringLiteral("count"), 3}, {QStringLiteral("label"), QStringLiteral("é")}});
    withEverything->setBookmark(QByteArray("made\0elsewhere", 14));
    auto printSet = std::make_shared<KOVA_PrintToFileSet>(QStringLiteral("Path 1"));
    printSet->setProperties({{KOVA_PrintToFileSet::UploadFolderKey, QStringLiteral("fyp")}});
    folderSets().setFolderSets({withEverything, folderSet(QString()), printSet});
    folderSets().saveFolderSets();
    advance(500ms);
    folderSets().setFolderSets({});

    folderSets().updateFromSavedData();
    const auto loaded = folderSets().folderSets();
    ASSERT_EQ(loaded.size(), 3);
    for (int i : {0, 1, 2}) {
        const auto expected = i == 0 ? withEverything : i == 1 ? folderSet(QString()) : std::static_pointer_cast<KOVA_FolderSet>(printSet);
        EXPECT_EQ(loaded[i]->archiveClassName(), expected->archiveClassName());
        EXPECT_EQ(loaded[i]->name(), expected->name());
        EXPECT_EQ(loaded[i]->URL(), expected->URL());
        EXPECT_EQ(loaded[i]->properties(), expected->properties());
        EXPECT_EQ(loaded[i]->bookmark(), expected->bookmark());
    }
}

// An archive laid out by hand in the platform's form, as the earlier system saved it:
// mutable options, a folder URL with a trailing slash, a bookmark of its own kind.
TEST_F(FolderSets, archiveMadeElsewhereIsRead)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    const QString path = kova::test::sandboxRoot() + QStringLiteral("/handmade-folder-sets.plist");
    kova::test::runPython(QStringLiteral(R"(
import plistlib, sys
objects = ['$null']
def add(item):
    objects.append(item)
    return plistlib.UID(len(objects) - 1)
def cls(*chain):
    return add({'$classname': chain[0], '$classes': list(chain)})
mutable_dictionary = cls('NSMutableDictionary', 'NSDictionary', 'NSObject')
url = cls('NSURL', 'NSObject')
folder_set = cls('KOVA_FolderSet', 'NSObject')
def make(name, link, options, bookmark=None):
    item = {'self.properties': add({'NS.keys': [add(k) for k in options], 'NS.objects': [add(v) for v in options.values()],
                                    '$class': mutable_dictionary}),
            'self.name': add(name),
            'self.URL': add({'NS.base': plistlib.UID(0), 'NS.relative': add(link), '$class': url})}
    if bookmark is not None:
        item['self.bookmark'] = add(bookmark)
    item['$class'] = folder_set
    return add(item)
first = make('Hot Folder', 'file:///Users/operator/Hot%20Folder/', {'enabled': True, 'count': 3}, b'book\x00mark')
second = make('Second', 'file:///srv/orders/', {})
root = add({'NS.objects': [first, second], '$class': cls('NSMutableArray', 'NSArray', 'NSObject')})
archive = {'$archiver': 'NSKeyedArchiver', '$version': 100000, '$top': {'root': root}, '$objects': objects}
open(sys.argv[1], 'wb').write(plistlib.dumps(archive, fmt=plistlib.FMT_BINARY))
)"), {path});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    reloadFrom(folderSets(), file.readAll());

    const auto loaded = folderSets().folderSets();
    ASSERT_EQ(namesOf(loaded), QStringList({QStringLiteral("Hot Folder"), QStringLiteral("Second")}));
    EXPECT_EQ(loaded[0]->URL().toLocalFile(), QStringLiteral("/Users/operator/Hot Folder/"));
    EXPECT_EQ(loaded[0]->properties(), QVariantMap({{QStringLiteral("enabled"), true}, {QStringLiteral("count"), 3}}));
    EXPECT_EQ(loaded[0]->bookmark(), QByteArray("book\0mark", 9)); // kept as it is
    EXPECT_TRUE(loaded[1]->bookmark().isNull());
    EXPECT_TRUE(loaded[1]->properties().isEmpty());
}

// Python's plistlib, a reader of its own, lists each archived set's class chain and keys.
TEST_F(FolderSets, independentReaderSeesClassChainsAndKeys)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    auto plain = folderSet(QStringLiteral("Orders"));
    plain->setBookmark("bookmark");
    const QList<std::shared_ptr<KOVA_FolderSet>> sets{std::make_shared<KOVA_PrintToFileSet>(QStringLiteral("Path 1")), plain};
    const QString path = kova::test::writeSandboxFile(QStringLiteral("folder-sets.plist"),
                                                      platform::KeyedArchiver::archivedDataWithRootObject(sets));
    const QString printed = kova::test::runPython(QStringLiteral(R"(
import plistlib, sys
archive = plistlib.load(open(sys.argv[1], 'rb'))
objects = archive['$objects']
follow = lambda uid: objects[uid.data]
chain = lambda item: ','.join(follow(item['$class'])['$classes'])
root = follow(archive['$top']['root'])
print(chain(root))
for uid in root['NS.objects']:
    item = follow(uid)
    keys = ' '.join(sorted(k for k in item if k != '$class'))
    print(chain(item), keys, chain(follow(item['self.properties'])), chain(follow(item['self.URL'])))
)"), {path});
    EXPECT_EQ(printed, "NSArray,NSObject\n"
                       "KOVA_PrintToFileSet,KOVA_FolderSet,NSObject self.URL self.name self.properties "
                       "NSMutableDictionary,NSDictionary,NSObject NSURL,NSObject\n"
                       "KOVA_FolderSet,NSObject self.URL self.bookmark self.name self.properties "
                       "NSMutableDictionary,NSDictionary,NSObject NSURL,NSObject\n");
}

TEST_F(FolderSets, validateNameCountsOnUntilNoSetHasTheName)
{
    struct Case {
        QStringList listed;
        QString name;
        QString expected;
    };
    const Case cases[] = {
        {{}, QStringLiteral("Folder"), QStringLiteral("Folder")},
        {{QStringLiteral("Other")}, QStringLiteral("Folder"), QStringLiteral("Folder")},
        {{QStringLiteral("folder")}, QStringLiteral("Folder"), QStringLiteral("Folder 1")},
        {{QStringLiteral("Folder 1"), QStringLiteral("Folder 2")}, QStringLiteral("Folder 1"), QStringLiteral("Folder 3")},
        {{QStringLiteral("Folder 7")}, QStringLiteral("Folder 7"), QStringLiteral("Folder 8")},
        {{QStringLiteral("Folder"), QStringLiteral("Folder 1")}, QStringLiteral("folder"), QStringLiteral("folder 2")},
        {{QStringLiteral("A")}, QString(), QString()},
    };
    for (const Case& c : cases) {
        KOVA_FolderSetClass::FolderSets listed;
        for (const QString& name : c.listed)
            listed.append(folderSet(name));
        folderSets().setFolderSets(listed);
        EXPECT_EQ(folderSets().validateName(c.name), c.expected) << c.listed.join(u',').toStdString() << " + " << c.name.toStdString();
    }
}

// A set keeps its own name (in any case) and takes a numbered one only from the others.
TEST_F(FolderSets, renamingComparesWithTheOtherSetsOnly)
{
    auto folder = folderSet(QStringLiteral("Folder"));
    auto other = folderSet(QStringLiteral("Other"));
    folderSets().setFolderSets({folder, other});
    folder->setName(QStringLiteral("Folder"));
    EXPECT_EQ(folder->name(), QStringLiteral("Folder"));
    folder->setName(QStringLiteral("FOLDER"));
    EXPECT_EQ(folder->name(), QStringLiteral("FOLDER"));
    other->setName(QStringLiteral("folder"));
    EXPECT_EQ(other->name(), QStringLiteral("folder 1"));
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

    folderSets().setFolderSets({base, folderSet(QStringLiteral("Other"))});
    folderSets().removeFolderSet(folderSet(QStringLiteral("PATH 1")));
    EXPECT_EQ(namesOf(folderSets().folderSets()), QStringList{QStringLiteral("Other")});

    const auto copied = print->copy();
    EXPECT_EQ(copied->archiveClassName(), KOVA_PrintToFileSet::ClassName);
    EXPECT_TRUE(copied->isEqual(print.get()));
}

TEST_F(FolderSets, folderOnAnotherMountKeepsABookmarkOfItsPath)
{
    const QUrl elsewhere = folderOnAnotherMount();
    if (elsewhere.isEmpty())
        GTEST_SKIP() << "no mount besides /";
    auto set = folderSet(QStringLiteral("Mounted"));
    set->setURL(elsewhere);
    const QVariantMap bookmark = platform::PropertyList::fromData(set->bookmark()).toMap();
    EXPECT_EQ(bookmark.value(KOVA_FolderSet::BookmarkPathKey), elsewhere.toLocalFile());
    EXPECT_EQ(bookmark.value(KOVA_FolderSet::BookmarkMountPointKey),
              ZORVAK_Extras_NSURL::volumeURL(elsewhere).toLocalFile());
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
    EXPECT_EQ(delegate->keys, QStringList({savedFolderSetsKey, savedPrintToFileSetsKey}));
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

TEST_F(FolderSets, listThatCannotBeArchivedStoresNothing)
{
    auto delegate = std::make_shared<RecordingDelegate>();
    KOVA_DefaultsDelegate::installDelegate(delegate);
    auto set = folderSet(QStringLiteral("Sized"));
    set->setProperties({{QStringLiteral("size"), QSizeF(1, 2)}});
    folderSets().setFolderSets({set});
    defaults()->removeObjectForKey(savedFolderSetsKey);
    folderSets().saveFolderSets();
    advance(500ms);
    EXPECT_FALSE(defaults()->objectForKey(savedFolderSetsKey).isValid());
    EXPECT_TRUE(delegate->keys.isEmpty());
    KOVA_DefaultsDelegate::installDelegate(nullptr);
}

TEST_F(FolderSets, nothingSavedGivesAnEmptyList)
{
    for (const QByteArray& saved : {QByteArray(), QByteArray("not an archive")}) {
        reloadFrom(folderSets(), saved);
        EXPECT_TRUE(folderSets().folderSets().isEmpty());
    }
}
