#include "platform/defaults/UserDefaults.h"

#include "ChangeRecorder.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StandardPaths.h"
#include "platform/plist/PropertyList.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPointF>

#include <atomic>
#include <thread>
#include <vector>

using platform::UserDefaults;

namespace {

// Each test works in a domain of its own, in the sandbox's configuration folder.
QString freshDomain()
{
    static std::atomic<int> counter = 0;
    return QStringLiteral("com.morvanta.test.defaults%1").arg(++counter);
}

} // namespace

TEST(UserDefaults, StoresEveryValueKindAndReadsItBackFromTheFile)
{
    const QString domain = freshDomain();
    const QVariantMap values{
        {QStringLiteral("text"), QStringLiteral("Path 1")},
        {QStringLiteral("count"), qint64(42)},
        {QStringLiteral("ratio"), 0.25},
        {QStringLiteral("running"), true},
        {QStringLiteral("archive"), QByteArray("\x00\x01\xff", 3)},
        {QStringLiteral("list"), QVariantList{QStringLiteral("a"), qint64(2)}},
        {QStringLiteral("texts"), QVariantMap{{QStringLiteral("1"), QStringLiteral("Editable Text #1")}}},
    };
    {
        UserDefaults defaults(domain);
        for (auto it = values.begin(); it != values.end(); ++it)
            EXPECT_TRUE(defaults.setObject(it.value(), it.key()));
    }
    UserDefaults reread(domain);
    EXPECT_EQ(reread.filePath(), platform::StandardPaths::path(platform::StandardPaths::Folder::Preferences) + QLatin1Char('/') + domain + QStringLiteral(".plist"));
    EXPECT_EQ(reread.dictionaryRepresentation(), values);
    EXPECT_EQ(reread.stringForKey(QStringLiteral("text")), QStringLiteral("Path 1"));
    EXPECT_EQ(reread.integerForKey(QStringLiteral("count")), 42);
    EXPECT_DOUBLE_EQ(reread.doubleForKey(QStringLiteral("ratio")), 0.25);
    EXPECT_TRUE(reread.boolForKey(QStringLiteral("running")));
    EXPECT_EQ(reread.dataForKey(QStringLiteral("archive")).size(), 3);
    EXPECT_EQ(reread.arrayForKey(QStringLiteral("list")).size(), 2);
    EXPECT_EQ(reread.dictionaryForKey(QStringLiteral("texts")).size(), 1);
    // Typed reads of values of another kind give the empty value.
    EXPECT_TRUE(reread.stringForKey(QStringLiteral("count")).isNull());
    EXPECT_TRUE(reread.arrayForKey(QStringLiteral("text")).isEmpty());

    EXPECT_TRUE(reread.removeObjectForKey(QStringLiteral("text")));
    EXPECT_FALSE(UserDefaults(domain).objectForKey(QStringLiteral("text")).isValid());
}

TEST(UserDefaults, SeesWhatAnotherProcessWrote)
{
    UserDefaults defaults(freshDomain());
    EXPECT_FALSE(defaults.objectForKey(QStringLiteral("urlFolderJobsToBePrinted")).isValid());
    const QByteArray data = platform::PropertyList::toData(
        QVariantMap{{QStringLiteral("urlFolderJobsToBePrinted"), QStringLiteral("file:///srv/pressoria/hot")}});
    ASSERT_TRUE(platform::FileOperations::makeDirectory(QFileInfo(defaults.filePath()).path(), true));
    ASSERT_TRUE(platform::FileOperations::writeFileAtomically(defaults.filePath(), data));
    EXPECT_EQ(defaults.URLForKey(QStringLiteral("urlFolderJobsToBePrinted")), QUrl::fromLocalFile(QStringLiteral("/srv/pressoria/hot")));
}

TEST(UserDefaults, RefusesWhatAPropertyListCannotHoldAndSurvivesACorruptFile)
{
    UserDefaults defaults(freshDomain());
    ASSERT_TRUE(defaults.setObject(QStringLiteral("kept"), QStringLiteral("key")));
    EXPECT_FALSE(defaults.setObject(QVariant::fromValue(QPointF(1, 2)), QStringLiteral("point")));
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("key")), QStringLiteral("kept"));
    EXPECT_FALSE(defaults.objectForKey(QStringLiteral("point")).isValid());

    ASSERT_TRUE(platform::FileOperations::writeFileAtomically(defaults.filePath(), QByteArray("bplist00\xff\xff garbage")));
    EXPECT_TRUE(defaults.dictionaryRepresentation().isEmpty());
    EXPECT_TRUE(defaults.setBool(true, QStringLiteral("kovaProcessorIsRunning")));
    EXPECT_TRUE(UserDefaults(defaults.domain()).boolForKey(QStringLiteral("kovaProcessorIsRunning")));
}

TEST(UserDefaults, FileURLsAreStoredWithTheHomeFolderAbbreviated)
{
    UserDefaults defaults(freshDomain());
    const QString home = platform::StandardPaths::path(platform::StandardPaths::Folder::Home);
    const QUrl fallback = QUrl::fromLocalFile(home + QStringLiteral("/Desktop/PrintToFileOutputs/Unknown"));
    ASSERT_TRUE(defaults.setURL(fallback, QStringLiteral("kovaFolderFallbackOutputPath")));
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("kovaFolderFallbackOutputPath")), QStringLiteral("~/Desktop/PrintToFileOutputs/Unknown"));
    EXPECT_EQ(defaults.URLForKey(QStringLiteral("kovaFolderFallbackOutputPath")), fallback);
    ASSERT_TRUE(defaults.setObject(QStringLiteral("/var/lib/Morvanta/KOVA/Templates/"), QStringLiteral("key_kovaFolderTemplates")));
    EXPECT_EQ(defaults.URLForKey(QStringLiteral("key_kovaFolderTemplates")).toLocalFile(), QStringLiteral("/var/lib/Morvanta/KOVA/Templates"));
}

TEST(UserDefaults, ObserversHearEachChangeOfTheirKey)
{
    auto defaults = UserDefaults::initWithSuiteName(freshDomain());
    EXPECT_EQ(defaults, UserDefaults::initWithSuiteName(defaults->domain()));
    auto observer = kova::test::ChangeRecorder::observing(*defaults, {QStringLiteral("KOVA_savedJobFolders")},
                                                          platform::KeyValueObservingOptionNew);
    defaults->setObject(QByteArray("archive"), QStringLiteral("KOVA_savedJobFolders"));
    defaults->setObject(QStringLiteral("other"), QStringLiteral("unrelated"));
    defaults->removeObjectForKey(QStringLiteral("KOVA_savedJobFolders"));
    const auto seen = observer->changes();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].newValue, QVariant(QByteArray("archive")));
    EXPECT_FALSE(seen[1].newValue.isValid());
    defaults->removeObserver(observer.get(), QStringLiteral("KOVA_savedJobFolders"), nullptr);
}

TEST(UserDefaults, ConcurrentWritersLoseNothing)
{
    UserDefaults defaults(freshDomain());
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i)
                defaults.setInteger(i, QStringLiteral("writer%1.%2").arg(t).arg(i));
        });
    for (auto& writer : writers)
        writer.join();
    EXPECT_EQ(UserDefaults(defaults.domain()).dictionaryRepresentation().size(), 160);
}

TEST(UserDefaults, JavaPreferencesSuiteIsReadOnlyNestedDictionaries)
{
    const QString node = platform::StandardPaths::path(platform::StandardPaths::Folder::Home) + QStringLiteral("/.java/.userPrefs/Wrenlow");
    ASSERT_TRUE(QDir().mkpath(node));
    QFile prefs(node + QStringLiteral("/prefs.xml"));
    ASSERT_TRUE(prefs.open(QIODevice::WriteOnly));
    prefs.write("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                "<!DOCTYPE map SYSTEM \"http://java.sun.com/dtd/preferences.dtd\">\n"
                "<map MAP_XML_VERSION=\"1.0\">\n"
                "  <entry key=\"searchfolder\" value=\"/srv/wrenlow/images\"/>\n"
                "</map>\n");
    prefs.close();

    auto suite = UserDefaults::initWithSuiteName(UserDefaults::javaPreferencesSuite);
    const QVariantMap wrenlow = suite->dictionaryForKey(QStringLiteral("/")).value(QStringLiteral("Wrenlow/")).toMap();
    EXPECT_EQ(wrenlow.value(QStringLiteral("searchfolder")).toString(), QStringLiteral("/srv/wrenlow/images"));
    EXPECT_FALSE(suite->setObject(QStringLiteral("x"), QStringLiteral("/")));
}
