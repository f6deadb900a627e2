// Package and template files that do not parse, and pictures that cannot be read, as a
// job meets them: never taken for what they should hold, and each logged once with its path.
// Which damage is beyond repair (entities, depth) is the XML document's own test.
#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"
#include "workflow/jobs/KOVA_Job.h"

#include "FileFixtures.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using kova::test::readFile;
using kova::test::ScratchFolder;
using kova::test::writeFile;

const QString examples = QStringLiteral(KOVA_EXAMPLES_DIR);
const QString package = QStringLiteral("Packages/Postcard.xml");
const QString postcard = QStringLiteral("Templates/Postcard.xml");

QByteArray example(const QString& relative)
{
    return readFile(examples + QLatin1Char('/') + relative);
}

class UnparsableFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(m_folder.path(QStringLiteral("Packages"))));
        ASSERT_TRUE(QDir().mkpath(m_folder.path(QStringLiteral("Templates"))));
        const auto defaults = platform::UserDefaults::standardUserDefaults();
        defaults->setURL(QUrl::fromLocalFile(m_folder.path(QStringLiteral("Packages"))), key_kovaFolderPackages);
        defaults->setURL(QUrl::fromLocalFile(m_folder.path(QStringLiteral("Templates"))), key_kovaFolderTemplates);
    }

    void TearDown() override
    {
        const auto defaults = platform::UserDefaults::standardUserDefaults();
        defaults->removeObjectForKey(key_kovaFolderPackages);
        defaults->removeObjectForKey(key_kovaFolderTemplates);
    }

    // The example package and its template, with `replaced` written over by `contents`.
    void writeFiles(const QString& replaced = {}, const QByteArray& contents = {})
    {
        for (const QString& file : {package, postcard})
            ASSERT_TRUE(writeFile(m_folder.path(file), file == replaced ? contents : example(file)));
    }

    // Runs a ticket for the postcard with the first image given; the job's error, and the log.
    platform::Error run(const QString& image1, std::string& log) const
    {
        const QByteArray ticket = QStringLiteral("<data type=\"kova_job\" version=\"1.0\"><package plucode=\"POSTCARD\">"
                                                 "<image1>%1</image1></package></data>")
                                      .arg(image1)
                                      .toUtf8();
        const auto job = KOVA_Job::instanceWithXMLObject(ticket);
        platform::Error error{QStringLiteral("not called"), 0, {}};
        testing::internal::CaptureStderr();
        if (job)
            job->processJob([&error](const platform::Error& reported) { error = reported; });
        log = testing::internal::GetCapturedStderr();
        return error;
    }

    static qsizetype count(const std::string& log, const QString& text)
    {
        return QString::fromStdString(log).count(text);
    }

    ScratchFolder m_folder;
};

TEST_F(UnparsableFiles, APackageOrTemplateThatDoesNotParseFailsTheJobAndIsLoggedOnceWithItsPath)
{
    const QString harbour = examples + QStringLiteral("/Images/Harbour.jpg");
    const QString noPackage = QStringLiteral("could not find package with name");
    const QString noTemplate = QStringLiteral("template Postcard could not be read from %1").arg(m_folder.path(postcard));
    const struct {
        const char* what;
        QString file;
        QByteArray contents;
        QString error; // empty: the job succeeds
    } cases[] = {
        {"both whole", {}, {}, {}},
        {"package cut off", package, example(package).left(300), noPackage},
        {"package cut off after an end tag", package, example(package).left(example(package).indexOf("</template>") + 11), noPackage},
        {"package that is no XML", package, "\x89PNG\r\n\x1a\n not a package", noPackage},
        {"template cut off", postcard, example(postcard).left(300), noTemplate},
        {"template that is no XML", postcard, "\x89PNG\r\n\x1a\n not a template", noTemplate},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        writeFiles(each.file, each.contents);
        std::string log;
        const platform::Error error = run(harbour, log);
        if (each.error.isEmpty()) {
            EXPECT_TRUE(error.isNull()) << error.description().toStdString();
            continue;
        }
        EXPECT_TRUE(error.message.contains(each.error)) << error.description().toStdString();
        // Its parse error once, as the file's URL and the error, however often it is tried.
        const QString url = QUrl::fromLocalFile(m_folder.path(each.file)).toString();
        EXPECT_EQ(count(log, url + QStringLiteral(" Error Domain=")), 1) << log;
        const bool found = count(log, QStringLiteral("Found package named")) + count(log, QStringLiteral("Found fallback package")) > 0;
        EXPECT_EQ(found, each.file != package) << log;
    }
}

TEST_F(UnparsableFiles, APictureThatCannotBeReadIsLoggedWithItsPath)
{
    writeFiles();
    const QString broken = m_folder.path(QStringLiteral("Broken.jpg"));
    ASSERT_TRUE(writeFile(broken, QByteArray("\xff\xd8\xff not really a photo")));
    std::string log;
    const platform::Error error = run(broken, log);
    EXPECT_TRUE(error.isNull()) << error.description().toStdString();
    EXPECT_GE(count(log, QStringLiteral("cannot read the picture %1").arg(broken)), 1) << log;
}

} // namespace
