#include "workflow/folders/KOVA_PrintToFileSet.h"
#include "workflow/folders/KOVA_WebUploadFolder.h"
#include "workflow/folders/ZORVAK_UTTypeToPathExtension.h"

#include "FolderSetTesting.h"

#include <QDir>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

using namespace std::chrono_literals;
using kova::test::FolderSetTest;

namespace {

KOVA_FolderSetClass& printSets() { return KOVA_PrintToFileSet::classSide(); }

QStringList pathNames(std::initializer_list<int> numbers)
{
    QStringList names;
    for (int number : numbers)
        names.append(QStringLiteral("Path %1").arg(number));
    return names;
}

// An archive of print-to-file sets with these names, each in a folder named after its place.
QByteArray savedSets(const QStringList& names)
{
    QList<std::shared_ptr<KOVA_PrintToFileSet>> sets;
    for (const QString& name : names)
        sets.append(std::make_shared<KOVA_PrintToFileSet>(name, QUrl::fromLocalFile(QStringLiteral("/out/%1").arg(sets.size()))));
    return platform::KeyedArchiver::archivedDataWithRootObject(sets);
}

} // namespace

class PrintToFileSets : public FolderSetTest {};

// Loading and reloading keep the eight sets: saved ones with a fixed name (exact case,
// first of each name) in their order, then fresh ones in the home folder.
TEST_F(PrintToFileSets, listAlwaysHoldsTheEightPaths)
{
    struct Case {
        QByteArray saved;
        QStringList expected;
        QStringList expectedFolders; // of the first sets, those kept from the saved data
    };
    const QString home = QDir::homePath();
    const Case cases[] = {
        {savedSets({QStringLiteral("Path 2"), QStringLiteral("Other"), QStringLiteral("Path 2"), QStringLiteral("Path 5")}),
         pathNames({2, 5, 1, 3, 4, 6, 7, 8}), {QStringLiteral("/out/0"), QStringLiteral("/out/3"), home}},
        {savedSets({QStringLiteral("path 1")}), pathNames({1, 2, 3, 4, 5, 6, 7, 8}), {home}},
        {savedSets({}), pathNames({1, 2, 3, 4, 5, 6, 7, 8}), {home}},
        {QByteArray("bplist00 damaged"), pathNames({1, 2, 3, 4, 5, 6, 7, 8}), {home}},
    };
    for (const Case& c : cases) {
        reloadFrom(printSets(), c.saved);
        const auto loaded = printSets().folderSets();
        EXPECT_EQ(namesOf(loaded), c.expected);
        for (qsizetype i = 0; i < c.expectedFolders.size(); ++i)
            EXPECT_EQ(loaded.at(i)->URL().toLocalFile(), c.expectedFolders.at(i)) << i;
    }
}

// Renaming a set to its own name keeps it, its folder and its options through a save.
TEST_F(PrintToFileSets, ownNameSurvivesASaveAndReload)
{
    reloadFrom(printSets(), savedSets({}));
    auto path3 = std::dynamic_pointer_cast<KOVA_PrintToFileSet>(printSets().folderSetWithName(QStringLiteral("Path 3")));
    ASSERT_TRUE(path3);
    path3->setUploadFolder(QStringLiteral("fyp"));
    path3->setName(QStringLiteral("Path 3"));
    advance(500ms);
    printSets().updateFromSavedData();
    auto reloaded = std::dynamic_pointer_cast<KOVA_PrintToFileSet>(printSets().folderSets().at(2));
    EXPECT_EQ(reloaded->name(), QStringLiteral("Path 3"));
    EXPECT_EQ(reloaded->uploadFolder(), QStringLiteral("fyp"));
}

TEST_F(PrintToFileSets, lookupByNameThenByPosition)
{
    reloadFrom(printSets(), savedSets({QStringLiteral("Path 8"), QStringLiteral("Path 7")}));
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("path 4"), QStringLiteral("Path 4")},
        {QStringLiteral("1"), QStringLiteral("Path 8")},
        {QStringLiteral("4"), QStringLiteral("Path 2")}, // the fourth of the list
        {QStringLiteral("0"), QString()},
        {QStringLiteral("9"), QString()},
        {QStringLiteral("12"), QString()},
        {QStringLiteral("x"), QString()},
    };
    for (const auto& [name, expected] : cases) {
        const auto found = printSets().folderSetWithName(name);
        EXPECT_EQ(found ? found->name() : QString(), expected) << name.toStdString();
    }
}

TEST_F(PrintToFileSets, optionsReadTheirFallbacks)
{
    struct Case {
        QString key;
        QVariant stored; // invalid: absent
        QVariant read;
    };
    const Case cases[] = {
        {KOVA_PrintToFileSet::FileFormatKey, {}, QStringLiteral("public.jpeg")},
        {KOVA_PrintToFileSet::FileFormatKey, 3, QStringLiteral("public.jpeg")},
        {KOVA_PrintToFileSet::NameFormatKey, QStringLiteral("Image + Date"), QStringLiteral("Original Image Name")},
        {KOVA_PrintToFileSet::NameFormatKey, QStringLiteral("Image + CK Template"), QStringLiteral("Image + CK Template")},
        {KOVA_PrintToFileSet::UploadFolderKey, QStringLiteral("Do NOT upload to Web"), {}},
        {KOVA_PrintToFileSet::UploadFolderKey, QStringLiteral("pt5-2"), QStringLiteral("pt5-2")},
        {KOVA_PrintToFileSet::WebUploadKey, 1, true},
        {KOVA_PrintToFileSet::OverwriteExistingKey, QStringLiteral("YES"), false},
        {KOVA_PrintToFileSet::WebUploadMaxBytesKey, qint64(5000000), qint64(5000000)},
        {KOVA_PrintToFileSet::WebUploadMaxBytesKey, QStringLiteral("5000000"), {}},
    };
    KOVA_PrintToFileSet set(QStringLiteral("Path 1"));
    for (const Case& c : cases) {
        set.setProperties(c.stored.isValid() ? QVariantMap{{c.key, c.stored}} : QVariantMap{});
        EXPECT_EQ(set.valueForKey(c.key), c.read) << c.key.toStdString() << " " << c.stored.toString().toStdString();
    }

    set.setUploadFolder(QStringLiteral("Do NOT upload to Web"));
    EXPECT_EQ(set.properties().value(KOVA_PrintToFileSet::UploadFolderKey), QStringLiteral("Do NOT upload to Web"));
    EXPECT_EQ(set.uploadFolder(), std::nullopt);
    set.setWebUploadMaxPixels(1200);
    EXPECT_EQ(set.webUploadMaxPixels(), 1200);
    set.setWebUploadMaxPixels(std::nullopt);
    EXPECT_FALSE(set.properties().contains(KOVA_PrintToFileSet::WebUploadMaxPixelsKey));
}

TEST(PrintToFileSetTransformers, forwardAndBack)
{
    using Extension = ZORVAK_UTTypeToPathExtension;
    EXPECT_EQ(Extension::transformedValue(QStringLiteral("public.jpeg")), QStringLiteral("JPEG"));
    EXPECT_EQ(Extension::transformedValue(QVariantList{QStringLiteral("public.png"), QStringLiteral("public.folder"),
                                                       QStringLiteral("public.tiff")}),
              QStringList({QStringLiteral("PNG"), QStringLiteral("TIFF")}));
    EXPECT_EQ(Extension::transformedValue(7), 7);
    for (const QString& type : KOVA_PrintToFileSet::fileFormats())
        EXPECT_EQ(Extension::reverseTransformedValue(Extension::transformedValue(type)), type);

    EXPECT_EQ(KOVA_WebUploadFolder::transformedValue({}), QStringLiteral("Do NOT upload to Web"));
    EXPECT_FALSE(KOVA_WebUploadFolder::reverseTransformedValue(QStringLiteral("Do NOT upload to Web")).isValid());
    for (const QVariant& kept : {QVariant(QStringLiteral("fyp")), QVariant(2)}) {
        EXPECT_EQ(KOVA_WebUploadFolder::transformedValue(kept), kept);
        EXPECT_EQ(KOVA_WebUploadFolder::reverseTransformedValue(kept), kept);
    }
}

// The output delivery reads sets and options on its own queue while the preferences
// change them on the main queue: every read finds the third set whole, with no limit (as
// saved, or as reloaded from the saved data) or with one of the limits written.
TEST_F(PrintToFileSets, readersOnOtherThreadsSeeWholeValues)
{
    constexpr int Writes = 200;
    reloadFrom(printSets(), savedSets({}));
    std::atomic<bool> done = false;
    // Looked at only once the reader has ended.
    int reads = 0;
    int setsNotWhole = 0;
    std::optional<qint64> limitNeverWritten;
    std::thread reader([&] {
        do {
            ++reads;
            auto set = std::dynamic_pointer_cast<KOVA_PrintToFileSet>(printSets().folderSetWithName(QStringLiteral("3")));
            if (!set || set->name() != QStringLiteral("Path 3")) {
                ++setsNotWhole;
                continue;
            }
            const std::optional<qint64> limit = set->webUploadMaxPixels();
            if (limit && (*limit < 0 || *limit >= Writes))
                limitNeverWritten = limit;
        } while (!done);
    });
    for (int i = 0; i < Writes; ++i) {
        auto set = std::dynamic_pointer_cast<KOVA_PrintToFileSet>(printSets().folderSets().at(2));
        set->setWebUploadMaxPixels(i);
        if (i % 50 == 0)
            printSets().updateFromSavedData();
    }
    done = true;
    reader.join();
    EXPECT_GT(reads, 0);
    EXPECT_EQ(setsNotWhole, 0);
    EXPECT_EQ(limitNeverWritten, std::nullopt);
}
