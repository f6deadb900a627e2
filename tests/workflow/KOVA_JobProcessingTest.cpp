#include "workflow/jobs/KOVA_Job.h"

#include "ChangeRecorder.h"
#include "FileFixtures.h"
#include "HostileFiles.h"
#include "platform/progress/Progress.h"
#include "workflow/packages/KOVA_Package.h"

#include <gtest/gtest.h>

namespace {

using kova::test::loggedBy;
using kova::test::ScratchFolder;
using kova::test::writeFile;

struct Processed {
    int calls = 0;
    platform::Error error;
    QString log;
};

Processed process(KOVA_Job& job)
{
    Processed processed;
    processed.log = loggedBy([&] {
        job.processJob([&](const platform::Error& error) {
            ++processed.calls;
            processed.error = error;
        });
    });
    return processed;
}

} // namespace

TEST(KOVA_JobProcessing, outcomeAndProgressOfEachRun)
{
    const struct {
        const char* name;
        const char* packages;
        const char* error; // empty: success
        const char* logged;
    } cases[] = {
        {"no package", "", "job order names no package", "Job completed in"},
        {"missing package", "<package name=\"Nowhere\" plucode=\"NOPE1\"/>",
         "could not find package with name Nowhere", "current queue label:"},
        // 90 units over four packages: 22 each, the 2 left over completed after the wait.
        {"four missing packages",
         "<package name=\"Nowhere\" plucode=\"NOPE1\"/><package name=\"Nowhere\" plucode=\"NOPE2\"/>"
         "<package name=\"Nowhere\" plucode=\"NOPE3\"/><package name=\"Nowhere\" plucode=\"NOPE4\"/>",
         "could not find package with name Nowhere", "Job completed in"},
        // The remaining packages still run when one is missing.
        {"inline and missing package", "<package type=\"inline\" name=\"Inl\"/><package name=\"Nowhere\" plucode=\"NOPE1\"/>",
         "could not find package with name Nowhere", "Package \"Inl\" render commencing"},
        {"inline package without outputs", "<package type=\"INLINE\" name=\"Inl\"/>", "", "Package completed in"},
    };
    ScratchFolder scratch;
    const QString ticket = scratch.path(QStringLiteral("order.xml"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeFile(ticket, QByteArray("<data type=\"kova_job\" version=\"1.0\"><image1>a.jpg</image1>")
                                          + c.packages + "</data>"));
        const auto job = KOVA_Job::instanceWithXMLObject(ticket);
        ASSERT_TRUE(job);
        EXPECT_EQ(job->progress()->completedUnitCount(), KOVA_Job::ParseUnitCount);
        const Processed processed = process(*job);
        EXPECT_EQ(processed.calls, 1);
        EXPECT_EQ(processed.error.message, QString::fromUtf8(c.error));
        EXPECT_EQ(processed.error.code, *c.error ? -3 : 0);
        EXPECT_TRUE(processed.log.contains(QString::fromUtf8(c.logged))) << processed.log.toStdString();
        EXPECT_EQ(job->progress()->completedUnitCount(), KOVA_Job::ProgressUnitCount);
        EXPECT_DOUBLE_EQ(job->progress()->fractionCompleted(), 1.0);
    }
}

// Many packages at once store their errors and progress side by side; the last error stands.
TEST(KOVA_JobProcessing, manyPackagesAtOnce)
{
    QByteArray packages;
    for (int i = 0; i < 13; ++i)
        packages += QStringLiteral("<package name=\"P%1\" plucode=\"NOPE%1\"/><package type=\"inline\" name=\"I%1\"/>")
                        .arg(i)
                        .toUtf8();
    const auto job = KOVA_Job::instanceWithXMLObject(QByteArray("<data type=\"kova_job\" version=\"1.0\">") + packages
                                                     + "</data>");
    ASSERT_TRUE(job);
    const Processed processed = process(*job);
    EXPECT_TRUE(processed.error.message.startsWith(QStringLiteral("could not find package with name P")));
    EXPECT_EQ(job->progress()->completedUnitCount(), KOVA_Job::ProgressUnitCount);
}

TEST(KOVA_JobProcessing, valuesAnnounceChangesAndEmptyValuesRemove)
{
    const auto job = KOVA_Job::init();
    EXPECT_EQ(job->jobType(), QStringLiteral("kova_job"));
    EXPECT_DOUBLE_EQ(job->version(), 1.1);
    const auto recorder = kova::test::ChangeRecorder::observing(*job, {QStringLiteral("quantity"), QStringLiteral("outputs")});
    job->setValue(QStringLiteral("quantity"), QStringLiteral("2"));
    job->setValue(QStringLiteral("quantity"), QStringLiteral("2")); // unchanged: no notice
    job->setValue(QStringLiteral("quantity"), QString());
    EXPECT_FALSE(job->valuesDict().contains(QStringLiteral("quantity")));
    job->addOutputs({nullptr}); // nothing added: no notice
    EXPECT_EQ(recorder->keys(), (QStringList{QStringLiteral("quantity"), QStringLiteral("quantity")}));

    job->addReplacements({{QStringLiteral("text1"), QStringLiteral("a")},
                          {QStringLiteral("list"), QVariantList{1}},
                          {QStringLiteral("map"), QVariantMap{{QStringLiteral("x"), 1}}}});
    job->addReplacements({{QStringLiteral("text1"), QStringLiteral("b")},
                          {QStringLiteral("list"), QVariantList{2}},
                          {QStringLiteral("map"), QVariantList{3}},
                          {QStringLiteral("new"), 4}});
    const QVariantMap merged = job->replacements();
    EXPECT_EQ(merged.value(QStringLiteral("text1")), QStringLiteral("b"));
    EXPECT_EQ(merged.value(QStringLiteral("list")).toList(), (QVariantList{1, 2}));
    EXPECT_EQ(merged.value(QStringLiteral("map")).toMap(), (QVariantMap{{QStringLiteral("x"), 1}}));
    EXPECT_EQ(merged.value(QStringLiteral("new")), 4);

    platform::Error error;
    job->filePath({}, [&](const QUrl&, const std::optional<platform::Error>& reported) { error = reported.value_or(platform::Error{}); });
    EXPECT_EQ(error.message, QStringLiteral("No filepathURL specified"));
    EXPECT_EQ(error.code, -1);
}

TEST(KOVA_JobProcessing, inlinePackagesBelongToTheirJob)
{
    const auto job = KOVA_Job::instanceWithXMLObject(QByteArray("<data type=\"kova_job\" version=\"1.0\">"
                                                                "<package type=\"inline\" name=\"Inl\"/><package type=\"Inline\"/>"
                                                                "<package type=\"file\" name=\"F\"/></data>"));
    ASSERT_TRUE(job);
    const QVariantList descriptions = job->jobPackages();
    ASSERT_EQ(descriptions.size(), 3);
    const char* names[] = {"Inl", "inline"};
    for (int i = 0; i < 2; ++i) {
        const auto package = platform::Archivable::fromVariant<KOVA_Package>(descriptions[i].toMap().value(QStringLiteral("package")));
        ASSERT_TRUE(package) << i;
        EXPECT_EQ(package->packageName(), QString::fromUtf8(names[i]));
        EXPECT_EQ(package->owningJob(), job);
    }
    EXPECT_FALSE(descriptions[2].toMap().contains(QStringLiteral("package")));
}
