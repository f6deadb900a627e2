#pragma once

// A work tree that processors in child processes of the test program share, one after
// another or at once, as processors of one lab do: the hot folder with its tickets, the
// completed and failed folders, the print centre's hot folder, and one picture per
// ticket: each run of a ticket delivers a print job named after its picture and the
// moment, so the print centre's folder tells how often each ticket ran.
#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/FileOperations.h"
#include "workflow/delivery/KOVA_OutputPrintCentreDelivery.h"
#include "workflow/folders/KOVA_JobFolders.h"

#include "FileFixtures.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace kova::test {

inline QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

inline QString ticketName(int number)
{
    return QStringLiteral("ticket-%1").arg(number, 2, 10, QLatin1Char('0'));
}

class SharedTree {
public:
    SharedTree(const QString& root, int ticketCount)
        : m_root(root)
        , m_ticketCount(ticketCount)
    {
    }
    QString path(const QString& relative) const { return m_root + QLatin1Char('/') + relative; }

    bool make() const
    {
        for (const char* folder : {"Hot", "Completed", "Failed", "Delivered", "Incoming", "Images"}) {
            if (!QDir().mkpath(path(QString::fromLatin1(folder))))
                return false;
        }
        for (int number = 1; number <= m_ticketCount; ++number) {
            const QString image = path(QStringLiteral("Images/%1.jpg").arg(ticketName(number)));
            const QString written = path(QStringLiteral("Incoming/%1.xml").arg(ticketName(number)));
            if (!platform::FileOperations::copyItem(examples() + QStringLiteral("/Images/Harbour.jpg"), image)
                || !writeFile(written, ticket(image))
                || !platform::FileOperations::moveItemNoReplace(written, path(QStringLiteral("Hot/%1.xml").arg(ticketName(number)))))
                return false;
        }
        return true;
    }

    // What a processor of the tree reads from its own preferences.
    void configureProcessor() const
    {
        const auto defaults = platform::UserDefaults::standardUserDefaults();
        defaults->setURL(QUrl::fromLocalFile(examples() + QStringLiteral("/Templates")), key_kovaFolderTemplates);
        defaults->setURL(QUrl::fromLocalFile(path(QStringLiteral("Completed"))), key_kovaFolderJobsCompleted);
        defaults->setURL(QUrl::fromLocalFile(path(QStringLiteral("Failed"))), key_kovaFolderJobsFailed);
        platform::UserDefaults::initWithSuiteName(KOVA_OutputPrintCentreDelivery::PressoriaSuiteName)
            ->setURL(QUrl::fromLocalFile(path(QStringLiteral("Delivered"))), KOVA_OutputPrintCentreDelivery::HotFolderKey);
        defaults->setBool(true, key_kovaProcessorIsRunning);
    }

    // Once the listed folders watch, the tree's hot folder joins them.
    std::shared_ptr<KOVA_JobFolders> watchHotFolder() const
    {
        const bool listedWatch = waitUntil([] {
            const auto folders = KOVA_JobFolders::jobFolders();
            return std::all_of(folders.cbegin(), folders.cend(), [](const auto& folder) { return folder->hasFileEvent(); });
        });
        EXPECT_TRUE(listedWatch);
        const auto folder = std::make_shared<KOVA_JobFolders>(QStringLiteral("Shared"), QUrl::fromLocalFile(path(QStringLiteral("Hot"))));
        folder->setJobFileUTType(QStringLiteral("public.xml"));
        KOVA_JobFolders::classSide().addFolderSet(folder);
        folder->configureJobsFolder();
        return folder;
    }

    bool hotFolderIsEmpty() const { return entries(path(QStringLiteral("Hot"))).isEmpty(); }
    // The tickets delivered to the print centre, one name for each run.
    QStringList deliveries() const
    {
        QStringList delivered;
        for (const QString& name : entries(path(QStringLiteral("Delivered"))))
            delivered.append(name.section(QLatin1Char('.'), 0, 0));
        return delivered;
    }

private:
    static QString examples() { return QStringLiteral(KOVA_EXAMPLES_DIR); }

    static QByteArray ticket(const QString& image)
    {
        return QStringLiteral("<data type=\"kova_job\" version=\"1.0\"><package type=\"inline\" name=\"Card\">"
                              "<template name=\"Postcard\"><filepath>Postcard.xml</filepath></template>"
                              "<output size=\"{600, 400}\"><destination type=\"printer\"><printer>2</printer><papersize>6x4</papersize>"
                              "</destination></output>"
                              "<image1>%1</image1></package></data>")
            .arg(image)
            .toUtf8();
    }

    QString m_root;
    int m_ticketCount;
};

// Child processes of this test program, each running one of its tests with a variable
// set; killed, should they still run, when this ends.
class ChildProcesses {
public:
    ~ChildProcesses()
    {
        for (const auto& child : m_children) {
            child->kill();
            child->waitForFinished();
        }
    }

    QProcess& start(const char* variable, const QString& value, const QString& test)
    {
        m_children.push_back(std::make_unique<QProcess>());
        QProcess& child = *m_children.back();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(variable), value);
        const QString temporary = sandboxRoot() + QStringLiteral("/children");
        QDir().mkpath(temporary);
        environment.insert(QStringLiteral("TMPDIR"), temporary);
        child.setProcessEnvironment(environment);
        // Nobody reads the log while waiting for another child: a full pipe would stop it.
        child.setStandardErrorFile(QProcess::nullDevice());
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + test});
        return child;
    }

private:
    std::vector<std::unique_ptr<QProcess>> m_children;
};

// A test that runs processors in child processes on a shared tree of `Tickets` tickets,
// made before each test; skipped where child processes are not started.
template <int Tickets>
class SharedTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (startsNoChildProcesses)
            GTEST_SKIP() << "starts child processes";
        ASSERT_TRUE(m_tree.make());
    }

    ScratchFolder m_folder;
    SharedTree m_tree{m_folder.path(), Tickets};
    ChildProcesses m_children;
};

} // namespace kova::test
