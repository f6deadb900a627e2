#include "platform/ipc/BusPropertyList.h"
#include "service/engine/KOVA_RenderingEngine.h"

#include "PrivateSessionBus.h"
#include "PythonReader.h"
#include "TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>

#include <gtest/gtest.h>

// The built service, started by a private bus on the first call, in the test's own
// preference folders.
class RenderingService : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (kova::test::startsNoChildProcesses)
            GTEST_SKIP() << "starts the service as a child of the bus";
        ASSERT_FALSE(bus.address().isEmpty());
    }
    void TearDown() override { QDBusConnection::disconnectFromBus(connectionName); }

    QDBusMessage call(const QString& method, const QVariantList& arguments)
    {
        QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), connectionName);
        QDBusMessage message = QDBusMessage::createMethodCall(KOVA_RenderingEngine::ServiceName, QStringLiteral("/"),
            QStringLiteral("com.morvanta.KOVA.RenderingEngine"), method);
        message.setArguments(arguments);
        return connection.call(message, QDBus::Block, 60000);
    }

    static kova::test::BusOptions serviceBus()
    {
        kova::test::BusOptions options;
        options.serviceFolder = QStringLiteral(KOVA_BUILD_SERVICE_DIR);
        return options;
    }

    kova::test::PrivateSessionBus bus { serviceBus() };
    const QString connectionName = QStringLiteral("rendering-service-test");
};

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
    const QString plist = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/com.morvanta.KOVA-RenderingEngine.plist");
    for (const Case& c : cases) {
        const QByteArray seen = kova::test::runPython(QStringLiteral(
            "import plistlib, sys\nv = plistlib.load(open(sys.argv[1], 'rb'))[sys.argv[2]]\nprint(type(v).__name__, v)"),
            {}, { plist, c.key });
        EXPECT_EQ(QString::fromUtf8(seen).trimmed(), c.python) << c.key.toStdString();
    }
    EXPECT_EQ(call(QStringLiteral("setObject"), { QByteArray(), QStringLiteral("text") }).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(kova::test::runPython(QStringLiteral("import plistlib, sys\nprint('text' in plistlib.load(open(sys.argv[1], 'rb')))"),
                  {}, { plist }).trimmed(), "False");
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
