// A job bundle as the job writer makes it ("images", "templates") runs like one whose
// folders are spelled any other way: its pictures are drawn and its originals copied.
#include "workflow/jobs/KOVA_Job.h"

#include "../core/ImageTestPictures.h"
#include "FileFixtures.h"
#include "XmlElements.h"
#include "platform/dispatch/WallClock.h"
#include "platform/files/FileOperations.h"
#include "workflow/outputs/KOVA_OutputDelivery.h"
#include "workflow/packages/KOVA_Package.h"

#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

namespace {

using kova::test::readFile;
using kova::test::ScratchFolder;
using kova::test::writeFile;

// A 40 x 30 picture of the job's first image, drawn over the whole template.
const QByteArray FrameTemplate = R"(<data type="KOVA_Template" version="1.0"><layout size="{40, 30}" name="Frame">)"
                                 R"(<layer type="image" frame="{{0, 0}, {40, 30}}"><key>image1</key>)"
                                 R"(<filepath>placeholder.jpg</filepath><gravity>resize</gravity></layer></layout></data>)";

struct Delivered {
    platform::Error error{QStringLiteral("not run"), 1, {}};
    QImage picture;
    QByteArray original;
};

class JobBundleEntries : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::WallClock::setNow([] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
        KOVA_OutputDelivery::installDefaults();
        ASSERT_TRUE(QDir().mkpath(m_out));
        ASSERT_TRUE(writeFile(m_photo, kova::test::encoded(kova::test::quadrants(40, 30), "JPEG")));
        ASSERT_TRUE(writeFile(m_scratch.path(QStringLiteral("Frame.xml")), FrameTemplate));
    }
    void TearDown() override { platform::WallClock::setNow(nullptr); }

    // The job written by the job writer: the photo, and an inline package whose output
    // draws it into a file and copies it as it is.
    QString writtenBundle()
    {
        const QString package = QStringLiteral(
            R"(<package type="inline" name="Card"><template name="Frame"><filepath>%1</filepath></template>)"
            R"(<output size="{40, 30}"><destination type="filepath"><filepath>%2</filepath></destination>)"
            R"(<destination type="filepath"><filepath>%2</filepath><saveoriginalfileasis>yes</saveoriginalfileasis></destination>)"
            R"(</output></package>)")
                                    .arg(m_scratch.path(QStringLiteral("Frame.xml")), m_out);
        const auto job = KOVA_Job::init();
        job->addReplacements({{QStringLiteral("image1"), QStringLiteral("photo.jpg")}});
        job->addImages({{QUrl::fromLocalFile(m_photo), nullptr}});
        job->addPackages({KOVA_Package::initWithNode(kova::test::rootElement(package.toUtf8().constData()), job)});
        const QString bundle = m_scratch.path(QStringLiteral("written.kovajob"));
        bool written = false;
        job->writeToURL(QUrl::fromLocalFile(bundle), [&written](bool success, const platform::Error&) { written = success; });
        EXPECT_TRUE(written);
        return bundle;
    }

    // Runs the bundle and takes what it delivered out of the output folder.
    Delivered run(const QString& bundle)
    {
        Delivered delivered;
        const auto job = KOVA_Job::instanceWithXMLObject(bundle);
        if (!job) {
            ADD_FAILURE() << "no job from " << bundle.toStdString();
            return delivered;
        }
        job->processJob([&delivered](const platform::Error& error) { delivered.error = error; });
        for (const QString& name : kova::test::entriesOf(m_out)) {
            const QString path = m_out + QLatin1Char('/') + name;
            if (name.endsWith(QStringLiteral(".jpg")) && delivered.original.isEmpty())
                delivered.original = readFile(path);
            else
                delivered.picture = QImage(path);
            platform::FileOperations::removeItem(path);
        }
        return delivered;
    }

    ScratchFolder m_scratch;
    const QString m_photo = m_scratch.path(QStringLiteral("photo.jpg"));
    const QString m_out = m_scratch.path(QStringLiteral("out"));
};

} // namespace

TEST_F(JobBundleEntries, everySpellingOfTheImageFolderDrawsAndCopiesTheSamePicture)
{
    const QString written = writtenBundle();
    ASSERT_EQ(kova::test::entriesOf(written),
              (QStringList{QStringLiteral("images"), QStringLiteral("job.xml"), QStringLiteral("templates")}));
    const QString reference = m_scratch.path(QStringLiteral("reference.kovajob"));
    ASSERT_TRUE(platform::FileOperations::copyItem(written, reference));
    ASSERT_TRUE(QDir(reference).rename(QStringLiteral("images"), QStringLiteral("Images")));
    const Delivered expected = run(reference);
    ASSERT_TRUE(expected.error.isNull()) << expected.error.description().toStdString();
    ASSERT_EQ(expected.picture.size(), QSize(40, 30));
    EXPECT_TRUE(kova::test::near(expected.picture.pixelColor(5, 5), kova::test::red));
    EXPECT_TRUE(kova::test::near(expected.picture.pixelColor(35, 25), kova::test::yellow));

    const QString capitals = m_scratch.path(QStringLiteral("capitals.kovajob"));
    ASSERT_TRUE(platform::FileOperations::copyItem(written, capitals));
    ASSERT_TRUE(QDir(capitals).rename(QStringLiteral("images"), QStringLiteral("IMAGES")));
    for (const QString& bundle : {written, capitals}) {
        SCOPED_TRACE(bundle.toStdString());
        const Delivered delivered = run(bundle);
        EXPECT_TRUE(delivered.error.isNull()) << delivered.error.description().toStdString();
        EXPECT_EQ(delivered.picture, expected.picture);
        EXPECT_EQ(delivered.original, readFile(m_photo));
    }
}
