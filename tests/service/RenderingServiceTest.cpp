#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/FileOperations.h"
#include "platform/ipc/BusPropertyList.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/PropertyList.h"
#include "service/engine/KOVA_RenderingEngine.h"
#include "workflow/folders/KOVA_FolderSetClass.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"
#include "workflow/jobs/KOVA_Job.h"

#include "PrivateSessionBus.h"
#include "PythonReader.h"
#include "TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QUrl>

#include <gtest/gtest.h>

#include <optional>

// The built service, started by a private bus on the first call, in the test's own
// preference folders.
class RenderingService : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (kova::test::startsNoChildProcesses)
            GTEST_SKIP() << "starts the service as a child of the bus";
        bus.emplace(serviceBus());
        ASSERT_FALSE(bus->address().isEmpty());
    }
    void TearDown() override { QDBusConnection::disconnectFromBus(connectionName); }

    QDBusMessage call(const QString& method, const QVariantList& arguments)
    {
        QDBusConnection connection = QDBusConnection::connectToBus(bus->address(), connectionName);
        QDBusMessage message = QDBusMessage::createMethodCall(KOVA_RenderingEngine::ServiceName, QStringLiteral("/"),
            QStringLiteral("com.morvanta.KOVA.RenderingEngine"), method);
        message.setArguments(arguments);
        return connection.call(message, QDBus::Block, 60000);
    }

    // Points the service at the example packages and templates.
    void storeExampleFolders()
    {
        for (const auto& [key, folder] : { std::pair { key_kovaFolderPackages, QStringLiteral("/Packages") },
                 std::pair { key_kovaFolderTemplates, QStringLiteral("/Templates") } })
            ASSERT_EQ(call(QStringLiteral("setObject"), { platform::BusPropertyList::encode(examples + folder), key }).type(),
                QDBusMessage::ReplyMessage);
    }

    QDBusMessage runTicket(const QString& path) { return call(QStringLiteral("jobTicketPath"), { path }); }

    static kova::test::BusOptions serviceBus()
    {
        kova::test::BusOptions options;
        options.serviceFolder = QStringLiteral(KOVA_BUILD_SERVICE_DIR);
        return options;
    }

    std::optional<kova::test::PrivateSessionBus> bus;
    const QString connectionName = QStringLiteral("rendering-service-test");
    const QString examples = QStringLiteral(KOVA_EXAMPLES_DIR);
    const QString tickets = examples + QStringLiteral("/../Tickets/");
};

namespace {

// Points every print-to-file set of this process at a folder of its name under `root`.
void deliverInto(const QString& root)
{
    for (const auto& set : KOVA_PrintToFileSet::classSide().folderSets()) {
        const QString folder = root + QLatin1Char('/') + set->name();
        ASSERT_TRUE(QDir().mkpath(folder));
        set->setURL(QUrl::fromLocalFile(folder));
    }
}

// The files under `root`, relative and with their time stamps masked, each with its picture.
QMap<QString, QImage> deliveredPictures(const QString& root)
{
    QMap<QString, QImage> pictures;
    QDirIterator files(root, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QString name = QDir(root).relativeFilePath(path);
        name.replace(QRegularExpression(QStringLiteral("_\\d{4}(-\\d\\d){2}_\\d\\d(-\\d\\d){2}\\.\\d+")), QStringLiteral("_<time>"));
        pictures.insert(name, QImage(path));
    }
    return pictures;
}

} // namespace

TEST_F(RenderingService, StoredValuesKeepTheirTypes)
{
    struct Case {
        QString key;
        QVariant value;
        QString python; // the stored value's type and text as python sees them
    };
    const Case cases[] = {
        { "text", QStringLiteral("Grüße"), "str Grüße" },
        { "integer", qint64(1) << 40, "int 1099511627776" },
        { "real", 2.5, "float 2.5" },
        { "flag", true, "bool True" },
        { "data", QByteArray("\x00\x01", 2), "bytes b'\\x00\\x01'" },
        { "date", QDateTime::fromSecsSinceEpoch(1000000000, Qt::UTC), "datetime 2001-09-09 01:46:40" },
        { "array", QVariantList { 1, QStringLiteral("a") }, "list [1, 'a']" },
        { "dictionary", QVariantMap { { "k", 1 } }, "dict {'k': 1}" },
    };
    for (const Case& c : cases) {
        const QDBusMessage reply = call(QStringLiteral("setObject"), { platform::BusPropertyList::encode(c.value), c.key });
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    }
    // One reader for every case: the stored values as they were, then the file once the
    // text was removed.
    const QString plist = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/com.morvanta.KOVA-RenderingEngine.plist");
    const QString stored = plist + QStringLiteral(".stored");
    ASSERT_TRUE(QFile::copy(plist, stored));
    EXPECT_EQ(call(QStringLiteral("setObject"), { QByteArray(), QStringLiteral("text") }).type(), QDBusMessage::ReplyMessage);
    QStringList arguments { stored, plist };
    for (const Case& c : cases)
        arguments.append(c.key);
    const QList<QByteArray> seen = kova::test::pythonLines(QStringLiteral(
        "import plistlib, sys\nstored = plistlib.load(open(sys.argv[1], 'rb'))\n"
        "for key in sys.argv[3:]:\n    v = stored[key]\n    print(type(v).__name__, v)\n"
        "print('text' in plistlib.load(open(sys.argv[2], 'rb')))"),
        {}, arguments);
    const qsizetype count = std::size(cases);
    ASSERT_EQ(seen.size(), count + 1);
    for (qsizetype index = 0; index < count; ++index)
        EXPECT_EQ(QString::fromUtf8(seen.at(index)).trimmed(), cases[index].python) << cases[index].key.toStdString();
    EXPECT_EQ(seen.last().trimmed(), "False");
}

TEST_F(RenderingService, AnUnreadableTicketAnswersNoWithTheError)
{
    const QDBusMessage reply = call(QStringLiteral("jobTicketPath"), { QStringLiteral("/nonexistent/ticket.xml") });
    ASSERT_EQ(reply.arguments().size(), 2) << reply.errorMessage().toStdString();
    EXPECT_FALSE(reply.arguments().at(0).toBool());
    const platform::Error error = platform::BusPropertyList::decodeError(reply.arguments().at(1).toByteArray());
    EXPECT_EQ(error.domain, platform::Error::CocoaDomain);
    EXPECT_EQ(error.code, -1);
    EXPECT_EQ(error.message, QStringLiteral("cannot make a job from /nonexistent/ticket.xml"));
}

// A newly stored list of print-to-file sets is where the next ticket by path delivers,
// file for file and pixel for pixel what the job gives when run in process, as the
// hot-folder processor runs it.
TEST_F(RenderingService, ATicketByPathDeliversIntoNewlyStoredSetsAsTheHotFolderRoadDoes)
{
    const QString bundle = tickets + QStringLiteral("Order 1001.kovajob");
    const QString served = QDir::home().filePath(QStringLiteral("served"));
    const QString road = QDir::home().filePath(QStringLiteral("road"));
    storeExampleFolders();
    deliverInto(served);
    const QByteArray sets = platform::KeyedArchiver::archivedDataWithRootObject(KOVA_PrintToFileSet::classSide().folderSets());
    ASSERT_EQ(call(QStringLiteral("setObject"), { platform::BusPropertyList::encode(sets), QStringLiteral("KOVA_savedPrintToFileSets") }).type(),
        QDBusMessage::ReplyMessage);
    const QDBusMessage reply = runTicket(bundle);
    ASSERT_EQ(reply.arguments().size(), 2) << reply.errorMessage().toStdString();
    EXPECT_TRUE(reply.arguments().at(0).toBool());
    EXPECT_TRUE(reply.arguments().at(1).toByteArray().isEmpty());

    const auto defaults = platform::UserDefaults::standardUserDefaults();
    defaults->setURL(QUrl::fromLocalFile(examples + QStringLiteral("/Packages")), key_kovaFolderPackages);
    defaults->setURL(QUrl::fromLocalFile(examples + QStringLiteral("/Templates")), key_kovaFolderTemplates);
    deliverInto(road);
    const auto job = KOVA_Job::instanceWithXMLObject(QUrl::fromLocalFile(bundle));
    ASSERT_TRUE(job);
    job->processJob([](const platform::Error& error) { EXPECT_TRUE(error.isNull()) << error.description().toStdString(); });

    const QMap<QString, QImage> expected = deliveredPictures(road);
    EXPECT_EQ(expected.keys(), (QStringList { "Path 1/Lighthouse.jpeg", "Path 2/Lighthouse.jpeg", "Path 5/image.jpeg" }));
    EXPECT_FALSE(expected.first().isNull());
    EXPECT_EQ(deliveredPictures(served), expected);
}

TEST_F(RenderingService, AFailingTicketAnswersNoWithTheJobsError)
{
    storeExampleFolders();
    const QDBusMessage reply = runTicket(tickets + QStringLiteral("Unknown Product.xml"));
    ASSERT_EQ(reply.arguments().size(), 2) << reply.errorMessage().toStdString();
    EXPECT_FALSE(reply.arguments().at(0).toBool());
    const platform::Error error = platform::BusPropertyList::decodeError(reply.arguments().at(1).toByteArray());
    EXPECT_EQ(error.domain, platform::Error::POSIXDomain);
    EXPECT_EQ(error.code, -3);
    EXPECT_EQ(error.message, QStringLiteral("could not find package with name Nosuch"));
}

// The service reads its preferences file back with a limit: a value that would take the
// file past it is refused rather than answered OK and lost with the whole file at the next
// start. The file is given its large value directly, so little crosses the bus.
TEST_F(RenderingService, AValueThatWouldTakeThePreferencesPastTheirReadLimitIsRefused)
{
    const QString plist = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/com.morvanta.KOVA-RenderingEngine.plist");
    const QByteArray earlier = kova::test::readFile(plist);
    QVariantMap stored = platform::PropertyList::fromData(earlier).toMap();
    stored.insert(QStringLiteral("large"), QByteArray(platform::UserDefaults::maximumStoreSize - 4 * 1024 * 1024, 'x'));
    ASSERT_TRUE(platform::FileOperations::writeFileAtomically(plist, platform::PropertyList::toData(stored, platform::PropertyList::Format::Binary)));

    const QByteArray tooMuch(8 * 1024 * 1024, 'y');
    const QDBusMessage refused = call(QStringLiteral("setObject"), { platform::BusPropertyList::encode(tooMuch), QStringLiteral("refused") });
    EXPECT_EQ(refused.type(), QDBusMessage::ErrorMessage);
    EXPECT_TRUE(refused.errorMessage().contains(QStringLiteral("past the 67108864 bytes"))) << refused.errorMessage().toStdString();

    // Started again, the service reads what it kept and keeps what it answers OK.
    QDBusConnection::disconnectFromBus(connectionName);
    bus.emplace(serviceBus());
    EXPECT_EQ(call(QStringLiteral("setObject"), { platform::BusPropertyList::encode(QStringLiteral("kept")), QStringLiteral("small") }).type(),
        QDBusMessage::ReplyMessage);
    stored = platform::PropertyList::fromData(kova::test::readFile(plist)).toMap();
    EXPECT_EQ(stored.value(QStringLiteral("small")), QStringLiteral("kept"));
    EXPECT_TRUE(stored.contains(QStringLiteral("large")) && !stored.contains(QStringLiteral("refused")));
    EXPECT_TRUE(earlier.isEmpty() ? QFile::remove(plist) : platform::FileOperations::writeFileAtomically(plist, earlier));
}
