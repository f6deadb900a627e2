#include "platform/defaults/UserDefaults.h"

#include "ChangeRecorder.h"
#include "FileFixtures.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StandardPaths.h"
#include "platform/plist/PropertyList.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointF>
#include <QProcess>
#include <QtEndian>

#include <atomic>
#include <functional>
#include <linux/capability.h>
#include <memory>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

using platform::UserDefaults;

namespace {

// Each test works in a domain of its own, in the sandbox's configuration folder.
QString freshDomain()
{
    static std::atomic<int> counter = 0;
    return QStringLiteral("com.morvanta.test.defaults%1").arg(++counter);
}

struct stat statusOf(const QString& path)
{
    struct stat status {};
    ::lstat(QFile::encodeName(path).constData(), &status);
    return status;
}

// What a preferences file holds, read past the object.
QVariantMap storedInFile(const QString& path)
{
    return platform::PropertyList::fromData(kova::test::readFile(path)).toMap();
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
    auto defaults = UserDefaults::initWithSuiteName(domain);
    for (auto it = values.begin(); it != values.end(); ++it)
        EXPECT_TRUE(defaults->setObject(it.value(), it.key()));
    EXPECT_EQ(defaults->filePath(), platform::StandardPaths::path(platform::StandardPaths::Folder::Preferences) + QLatin1Char('/') + domain + QStringLiteral(".plist"));
    EXPECT_EQ(storedInFile(defaults->filePath()), values);
    EXPECT_EQ(statusOf(defaults->filePath()).st_mode & 07777, 0600u);
    EXPECT_EQ(defaults->dictionaryRepresentation(), values);
    EXPECT_EQ(defaults->stringForKey(QStringLiteral("text")), QStringLiteral("Path 1"));
    EXPECT_EQ(defaults->integerForKey(QStringLiteral("count")), 42);
    EXPECT_DOUBLE_EQ(defaults->doubleForKey(QStringLiteral("ratio")), 0.25);
    EXPECT_TRUE(defaults->boolForKey(QStringLiteral("running")));
    EXPECT_EQ(defaults->dataForKey(QStringLiteral("archive")).size(), 3);
    EXPECT_EQ(defaults->arrayForKey(QStringLiteral("list")).size(), 2);
    EXPECT_EQ(defaults->dictionaryForKey(QStringLiteral("texts")).size(), 1);
    // Typed reads of values of another kind give the empty value.
    EXPECT_TRUE(defaults->stringForKey(QStringLiteral("count")).isNull());
    EXPECT_TRUE(defaults->arrayForKey(QStringLiteral("text")).isEmpty());

    EXPECT_TRUE(defaults->removeObjectForKey(QStringLiteral("text")));
    EXPECT_FALSE(storedInFile(defaults->filePath()).contains(QStringLiteral("text")));
}

TEST(UserDefaults, SeesWhatAnotherProcessWrote)
{
    auto defaults = UserDefaults::initWithSuiteName(freshDomain());
    EXPECT_FALSE(defaults->objectForKey(QStringLiteral("urlFolderJobsToBePrinted")).isValid());
    const QByteArray data = platform::PropertyList::toData(
        QVariantMap{{QStringLiteral("urlFolderJobsToBePrinted"), QStringLiteral("file:///srv/pressoria/hot")}});
    ASSERT_TRUE(platform::FileOperations::makeDirectory(QFileInfo(defaults->filePath()).path(), true));
    ASSERT_TRUE(platform::FileOperations::writeFileAtomically(defaults->filePath(), data));
    EXPECT_EQ(defaults->URLForKey(QStringLiteral("urlFolderJobsToBePrinted")), QUrl::fromLocalFile(QStringLiteral("/srv/pressoria/hot")));
}

TEST(UserDefaults, RefusesWhatAPropertyListCannotHoldAndSurvivesACorruptFile)
{
    auto defaults = UserDefaults::initWithSuiteName(freshDomain());
    ASSERT_TRUE(defaults->setObject(QStringLiteral("kept"), QStringLiteral("key")));
    EXPECT_FALSE(defaults->setObject(QVariant::fromValue(QPointF(1, 2)), QStringLiteral("point")));
    EXPECT_EQ(defaults->stringForKey(QStringLiteral("key")), QStringLiteral("kept"));
    EXPECT_FALSE(defaults->objectForKey(QStringLiteral("point")).isValid());

    ASSERT_TRUE(platform::FileOperations::writeFileAtomically(defaults->filePath(), QByteArray("bplist00\xff\xff garbage")));
    EXPECT_TRUE(defaults->dictionaryRepresentation().isEmpty());
    EXPECT_TRUE(defaults->setBool(true, QStringLiteral("kovaProcessorIsRunning")));
    EXPECT_TRUE(storedInFile(defaults->filePath()).value(QStringLiteral("kovaProcessorIsRunning")).toBool());
}

TEST(UserDefaults, FileURLsAreStoredWithTheHomeFolderAbbreviated)
{
    auto defaults = UserDefaults::initWithSuiteName(freshDomain());
    const QString home = platform::StandardPaths::path(platform::StandardPaths::Folder::Home);
    const QUrl fallback = QUrl::fromLocalFile(home + QStringLiteral("/Desktop/PrintToFileOutputs/Unknown"));
    ASSERT_TRUE(defaults->setURL(fallback, QStringLiteral("kovaFolderFallbackOutputPath")));
    EXPECT_EQ(defaults->stringForKey(QStringLiteral("kovaFolderFallbackOutputPath")), QStringLiteral("~/Desktop/PrintToFileOutputs/Unknown"));
    EXPECT_EQ(defaults->URLForKey(QStringLiteral("kovaFolderFallbackOutputPath")), fallback);
    ASSERT_TRUE(defaults->setObject(QStringLiteral("/var/lib/Morvanta/KOVA/Templates/"), QStringLiteral("key_kovaFolderTemplates")));
    EXPECT_EQ(defaults->URLForKey(QStringLiteral("key_kovaFolderTemplates")).toLocalFile(), QStringLiteral("/var/lib/Morvanta/KOVA/Templates"));
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
    auto defaults = UserDefaults::initWithSuiteName(freshDomain());
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i)
                defaults->setInteger(i, QStringLiteral("writer%1.%2").arg(t).arg(i));
        });
    for (auto& writer : writers)
        writer.join();
    EXPECT_EQ(storedInFile(defaults->filePath()).size(), 160);
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

namespace {

const char writerFolderVariable[] = "KOVA_DEFAULTS_WRITER_FOLDER";
const char writerIndexVariable[] = "KOVA_DEFAULTS_WRITER_INDEX";
const QString sharedDomain = QStringLiteral("com.morvanta.test.defaults.shared");
constexpr int writerProcesses = 4;
constexpr int keysPerWriter = 100;

// Root reads files of any mode. For one scope the calling thread, which makes
// the write, gives up that power, so a file of mode 000 is as unreadable to it
// as to a user.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride()
    {
        ::syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~(CAP_TO_MASK(CAP_DAC_OVERRIDE) | CAP_TO_MASK(CAP_DAC_READ_SEARCH));
        ::syscall(SYS_capset, &m_header, reduced);
    }
    ~WithoutPermissionOverride() { ::syscall(SYS_capset, &m_header, m_saved); }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
};

const QByteArray sampleFile = platform::PropertyList::toData(QVariantMap{{QStringLiteral("kovaProcessorJobsCompleted"), 1024}});

// The first entry of the offset table, whose place the trailer's last eight bytes give.
QByteArray withFlippedOffsetByte(QByteArray data)
{
    const auto table = qsizetype(qFromBigEndian<quint64>(data.constData() + data.size() - 8));
    data[table] = char(data[table] ^ 0xff);
    return data;
}

struct UnusableFile {
    const char* fault;
    std::function<void(const QByteArray& path)> plant;
    bool readable; // read but not understood: kept aside; otherwise left alone
};

const UnusableFile unusableFiles[] = {
    {"truncated", [](const QByteArray& path) { kova::test::writeFile(path, sampleFile.left(sampleFile.size() / 2)); }, true},
    {"flipped offset byte", [](const QByteArray& path) { kova::test::writeFile(path, withFlippedOffsetByte(sampleFile)); }, true},
    {"mode 000, another user's", [](const QByteArray& path) {
         kova::test::writeFile(path, sampleFile);
         ::chown(path.constData(), 65534, 65534);
         ::chmod(path.constData(), 0);
     }, false},
    {"a pipe", [](const QByteArray& path) { ::mkfifo(path.constData(), 0600); }, false},
};

} // namespace

// Runs only as a child of the test below: sets keys of its own in the shared domain.
TEST(UserDefaultsWriterChild, SetsItsOwnKeys)
{
    if (!qEnvironmentVariableIsSet(writerFolderVariable))
        GTEST_SKIP() << "runs as a child of WritersInSeveralProcessesKeepEveryKey";
    const kova::test::ScopedEnvironment configuration("XDG_CONFIG_HOME", qEnvironmentVariable(writerFolderVariable));
    auto defaults = UserDefaults::initWithSuiteName(sharedDomain);
    for (int key = 0; key < keysPerWriter; ++key)
        ASSERT_TRUE(defaults->setInteger(key, QStringLiteral("writer%1.key%2").arg(qEnvironmentVariable(writerIndexVariable)).arg(key)));
}

TEST(UserDefaults, WritersInSeveralProcessesKeepEveryKey)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts child processes";
    const kova::test::ScratchFolder configuration;
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int index = 0; index < writerProcesses; ++index) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(writerFolderVariable), configuration.path());
        environment.insert(QString::fromLatin1(writerIndexVariable), QString::number(index));
        QProcess& writer = *writers.emplace_back(std::make_unique<QProcess>());
        writer.setProcessEnvironment(environment);
        writer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=UserDefaultsWriterChild.*")});
    }
    for (const auto& writer : writers)
        EXPECT_TRUE(writer->waitForFinished(120000) && writer->exitStatus() == QProcess::NormalExit && writer->exitCode() == 0);
    EXPECT_EQ(storedInFile(configuration.path(sharedDomain + QStringLiteral(".plist"))).size(), writerProcesses * keysPerWriter);
}

TEST(UserDefaults, AnUnusableFileIsKeptAsideOrLeftAloneNeverWrittenOver)
{
    const QString key = QStringLiteral("kovaProcessorIsRunning");
    for (const UnusableFile& unusable : unusableFiles) {
        SCOPED_TRACE(unusable.fault);
        auto defaults = UserDefaults::initWithSuiteName(freshDomain());
        auto observer = kova::test::ChangeRecorder::observing(*defaults, {key});
        const QString path = defaults->filePath();
        unusable.plant(QFile::encodeName(path));
        const struct stat planted = statusOf(path);
        const QByteArray plantedBytes = unusable.readable ? kova::test::readFile(path) : QByteArray();

        testing::internal::CaptureStderr();
        const bool written = [&] {
            const WithoutPermissionOverride asAUser;
            return defaults->setBool(true, key);
        }();
        const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());
        const QStringList keptAside = QDir(QFileInfo(path).path()).entryList({QFileInfo(path).fileName() + QStringLiteral(".damaged-*")});

        if (unusable.readable) {
            EXPECT_TRUE(written);
            ASSERT_EQ(keptAside.size(), 1);
            EXPECT_EQ(kova::test::readFile(QFileInfo(path).path() + QLatin1Char('/') + keptAside[0]), plantedBytes);
            EXPECT_TRUE(log.contains(QStringLiteral("ERROR: the preferences %1 are damaged").arg(path)) && log.contains(keptAside[0])) << qPrintable(log);
            EXPECT_EQ(storedInFile(path), (QVariantMap{{key, true}}));
            EXPECT_EQ(statusOf(path).st_mode & 07777, 0600u);
            EXPECT_EQ(observer->changes().size(), 1);
        } else {
            EXPECT_FALSE(written);
            EXPECT_TRUE(keptAside.isEmpty());
            EXPECT_EQ(statusOf(path).st_ino, planted.st_ino);
            EXPECT_TRUE(log.contains(QStringLiteral("ERROR: cannot write the preferences %1").arg(path))) << qPrintable(log);
            EXPECT_TRUE(observer->changes().isEmpty());
            // Once the obstacle is gone, writes and their announcements resume.
            ASSERT_TRUE(QFile::remove(path));
            EXPECT_TRUE(defaults->setBool(true, key));
            EXPECT_EQ(observer->changes().size(), 1);
        }
        defaults->removeObserver(observer.get(), key, nullptr);
    }
}
