#include "workflow/jobs/KOVA_Job.h"

#include "FileFixtures.h"
#include "HostileFiles.h"
#include "workflow/packages/KOVA_Package.h"

#include <gtest/gtest.h>

namespace {

using kova::test::entriesOf;
using kova::test::loggedBy;
using kova::test::ScratchFolder;
using kova::test::stagingItemsIn;
using kova::test::writeFile;

struct Written {
    bool success = false;
    platform::Error error;
};

Written write(const KOVA_Job& job, const QString& path)
{
    Written written;
    loggedBy([&] {
        job.writeToURL(QUrl::fromLocalFile(path), [&](bool success, const platform::Error& error) {
            written = {success, error};
        });
    });
    return written;
}

QVariantMap map(std::initializer_list<std::pair<const char*, const char*>> entries)
{
    QVariantMap values;
    for (const auto& [key, value] : entries)
        values.insert(QString::fromUtf8(key), QString::fromUtf8(value));
    return values;
}

KOVA_Job::Image image(const QString& path, KOVA_Template::Pointer templ = nullptr)
{
    return {QUrl::fromLocalFile(path), std::move(templ)};
}

} // namespace

TEST(KOVA_JobWriter, valuesSettingsAndImagesReadBack)
{
    ScratchFolder scratch;
    ASSERT_TRUE(QDir().mkpath(scratch.path(QStringLiteral("src/a"))));
    for (const char* name : {"src/img10.jpg", "src/img2.jpg", "src/a/img2.jpg"})
        ASSERT_TRUE(writeFile(scratch.path(QString::fromUtf8(name)), "jpeg bytes"));
    ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("src/frame.xml")), "<template/>"));
    const auto templ = KOVA_Template::init();
    templ->setDocumentURL(QUrl::fromLocalFile(scratch.path(QStringLiteral("src/frame.xml"))));

    const auto job = KOVA_Job::init();
    job->addReplacements({{QStringLiteral("image1"), QStringLiteral("img2.jpg")},
                          {QStringLiteral("text1"), QStringLiteral(" Hello ")},
                          {QStringLiteral("box"), map({{"line1", "x"}})}});
    job->setValue(QStringLiteral("croprect"), map({{"image1", "0 0 10 10"}, {"image2", "1 1 2 2"}}));
    job->setValue(QStringLiteral("rotation"), map({{"image1", "90"}}));
    job->addImages({image(scratch.path(QStringLiteral("src/img10.jpg"))),
                    image(scratch.path(QStringLiteral("src/img2.jpg")), templ),
                    image(scratch.path(QStringLiteral("src/a/img2.jpg")))}); // the same bytes: written once

    const QString xml = job->asXMLDocument()->xmlString(platform::XmlFormatting::PrettyPrint);
    EXPECT_TRUE(xml.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>")));
    EXPECT_TRUE(xml.contains(QStringLiteral("<data type=\"kova_job\" version=\"1.0\">")));
    EXPECT_LT(xml.indexOf(QStringLiteral("<image1>")), xml.indexOf(QStringLiteral("<allimages>")));
    EXPECT_TRUE(xml.contains(QStringLiteral("<box>")) && xml.contains(QStringLiteral("<line1>x</line1>")));

    const QString bundle = scratch.path(QStringLiteral("order.kovajob"));
    const Written written = write(*job, bundle);
    ASSERT_TRUE(written.success) << written.error.description().toStdString();
    EXPECT_EQ(entriesOf(bundle), (QStringList{QStringLiteral("images"), QStringLiteral("job.xml"), QStringLiteral("templates")}));
    EXPECT_EQ(entriesOf(bundle + QStringLiteral("/images")), (QStringList{QStringLiteral("img10.jpg"), QStringLiteral("img2.jpg")}));
    EXPECT_EQ(entriesOf(bundle + QStringLiteral("/templates")), QStringList{QStringLiteral("frame.xml")});
    EXPECT_TRUE(stagingItemsIn(scratch.path()).isEmpty());

    const auto read = KOVA_Job::instanceWithXMLObject(bundle);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->replacements().value(QStringLiteral("image1")), QStringLiteral("img2.jpg"));
    EXPECT_EQ(read->replacements().value(QStringLiteral("text1")), QStringLiteral(" Hello "));
    EXPECT_EQ(read->value(QStringLiteral("croprect")).toMap(), map({{"image1", "0 0 10 10"}, {"image2", "1 1 2 2"}}));
    EXPECT_EQ(read->value(QStringLiteral("rotation")).toMap(), map({{"image1", "90"}}));
    EXPECT_EQ(read->value(QStringLiteral("template")).toMap(), map({{"img2.jpg", "frame.xml"}}));
    EXPECT_EQ(read->value(QStringLiteral("allimages")).toList(),
              (QVariantList{QStringLiteral("img2.jpg"), QStringLiteral("img2.jpg"), QStringLiteral("img10.jpg")}));
    EXPECT_EQ(read->graphicPath(), bundle + QStringLiteral("/images/img2.jpg"));
}

TEST(KOVA_JobWriter, inlinePackagesReadBack)
{
    ScratchFolder scratch;
    const auto package = KOVA_Package::init();
    package->setValue(QStringLiteral("name"), QStringLiteral("Alpha"));
    const auto job = KOVA_Job::init();
    job->addPackages({package});
    ASSERT_EQ(job->packageName(), QStringLiteral("Alpha"));
    const QString bundle = scratch.path(QStringLiteral("order.kovajob"));
    ASSERT_TRUE(write(*job, bundle).success);
    const auto read = KOVA_Job::instanceWithXMLObject(bundle);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->jobPackages().size(), 1);
    const QVariantMap description = read->jobPackages().first().toMap();
    EXPECT_EQ(description.value(QStringLiteral("name")), QStringLiteral("Alpha"));
    EXPECT_EQ(description.value(QStringLiteral("job")), QUrl::fromLocalFile(bundle));
    const auto inlinePackage = platform::Archivable::fromVariant<KOVA_Package>(description.value(QStringLiteral("package")));
    ASSERT_TRUE(inlinePackage);
    EXPECT_EQ(inlinePackage->owningJob(), read);
}

TEST(KOVA_JobWriter, filesThatCannotGoIntoTheBundleFailTheWrite)
{
    const struct {
        const char* name;
        const char* second; // the second image, in the scratch folder
        bool success;
        const char* message;
    } cases[] = {
        {"different files of one name", "b/pic.jpg", false, "are different files of one name"},
        {"one picture twice", "c/pic.jpg", true, ""},
        {"missing file", "b/gone.jpg", false, "gone.jpg"},
        {"folder", "b", false, "b"},
        {"existing bundle", "existing", false, "File exists"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder scratch;
        for (const char* folder : {"a", "b", "c", "out"})
            ASSERT_TRUE(QDir().mkpath(scratch.path(QString::fromUtf8(folder))));
        ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("a/pic.jpg")), "one"));
        ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("b/pic.jpg")), "two"));
        ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("c/pic.jpg")), "one"));
        const bool existing = QByteArray(c.second) == "existing";
        const QString bundle = scratch.path(QStringLiteral("out/order.kovajob"));
        if (existing) {
            ASSERT_TRUE(writeFile(bundle, "keep"));
        }

        const auto job = KOVA_Job::init();
        job->addImages({image(scratch.path(QStringLiteral("a/pic.jpg")))});
        if (!existing)
            job->addImages({image(scratch.path(QString::fromUtf8(c.second)))});
        const Written written = write(*job, bundle);
        EXPECT_EQ(written.success, c.success);
        EXPECT_TRUE(written.error.description().contains(QString::fromUtf8(c.message))) << written.error.description().toStdString();
        if (QByteArray(c.name) == "different files of one name") {
            EXPECT_TRUE(written.error.message.contains(scratch.path(QStringLiteral("a/pic.jpg"))));
        }
        EXPECT_TRUE(stagingItemsIn(scratch.path(QStringLiteral("out"))).isEmpty());
        if (existing)
            EXPECT_EQ(kova::test::readFile(bundle), QByteArray("keep"));
        else if (c.success)
            EXPECT_EQ(entriesOf(bundle + QStringLiteral("/images")), QStringList{QStringLiteral("pic.jpg")});
        else
            EXPECT_FALSE(QFileInfo::exists(bundle));
    }
}
