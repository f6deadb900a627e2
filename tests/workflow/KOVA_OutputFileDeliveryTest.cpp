#include "workflow/delivery/KOVA_OutputFileDelivery.h"

#include "../core/ImageTestPictures.h"
#include "FileFixtures.h"
#include "FolderSetTesting.h"
#include "HostileFiles.h"
#include "XmlElements.h"
#include "core/foundation/KOVA_Constants.h"
#include "core/image/ZORVAK_EXIF.h"
#include "platform/dispatch/WallClock.h"
#include "workflow/folders/KOVA_PrintToFileSet.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/outputs/KOVA_Output.h"
#include "workflow/packages/KOVA_Package.h"

#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

using kova::test::readFile;
using kova::test::writeFile;
using platform::Error;

namespace {

// The delivery's stamp at the fixed time, and what is left of it once the writer has taken
// the milliseconds for the type's extension.
const QString Stamp = QStringLiteral("2026-03-04_05-06-07.089");
const QString StampSeconds = QStringLiteral("2026-03-04_05-06-07");

QString setDestination(const QString& set, const QString& more = {})
{
    return QStringLiteral(R"(<destination type="filepath"><itempath>%1</itempath>%2</destination>)").arg(set, more);
}

QString pathDestination(const QString& path, const QString& more = {})
{
    return QStringLiteral(R"(<destination type="filepath"><filepath>%1</filepath>%2</destination>)").arg(path, more);
}

const QString SaveOriginal = QStringLiteral("<saveoriginalfileasis>yes</saveoriginalfileasis>");

QStringList sorted(QStringList names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// A JPEG's compressed picture: everything from the start of its scan on.
QByteArray scanOf(const QByteArray& jpeg)
{
    return jpeg.mid(jpeg.indexOf(QByteArray("\xFF\xDA", 2)));
}

using Reports = std::vector<std::pair<bool, Error>>;

size_t successes(const Reports& reports)
{
    return std::count_if(reports.begin(), reports.end(), [](const auto& report) { return report.first; });
}

// A job whose original image is "IMG_1.JPG"; its outputs render a 64 x 48 template.
class OutputFileDelivery : public kova::test::FolderSetTest {
protected:
    void SetUp() override
    {
        FolderSetTest::SetUp();
        platform::WallClock::setNow([] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89)); });
        ASSERT_TRUE(writeFile(original, kova::test::encoded(kova::test::quadrants(40, 30), "JPEG")));
        ASSERT_TRUE(writeFile(scratch.path("blue.png"), kova::test::encoded(kova::test::solid(8, 8, kova::test::blue), "PNG")));
        job = jobWithImage(QStringLiteral("<image1>%1</image1>").arg(original));
        KOVA_OutputDelivery::install(KOVA_Destination::Kind::Filepath, delivery);
    }
    void TearDown() override
    {
        KOVA_OutputDelivery::installDefaults();
        platform::WallClock::setNow(nullptr);
        FolderSetTest::TearDown();
    }

    static std::shared_ptr<KOVA_Job> jobWithImage(const QString& image)
    {
        const QString ticket = QStringLiteral("<data type=\"kova_job\" version=\"1.0\">%1</data>").arg(image);
        auto made = KOVA_Job::instanceWithXMLObject(ticket.toUtf8());
        made->setValue(QStringLiteral("template"), QVariantMap{{QStringLiteral("image1"), QStringLiteral("/t/CK_Frame.xml")}});
        return made;
    }

    // The set at position `number` in `folder` with the name format and overwriting, its other options unset.
    static std::shared_ptr<KOVA_PrintToFileSet> pathSet(int number, const QString& folder, const QString& nameFormat,
                                                        bool overwrite = false)
    {
        auto set = std::dynamic_pointer_cast<KOVA_PrintToFileSet>(
            KOVA_PrintToFileSet::classSide().folderSetWithName(QString::number(number)));
        set->setProperties({});
        set->setURL(QUrl::fromLocalFile(folder));
        set->setNameFormat(nameFormat);
        set->setOverwriteExisting(overwrite);
        return set;
    }

    // Runs an output of a 64 x 48 blue template saved as "Poster.xml" to the destinations,
    // for a job in the bundle `container` when one is given.
    Reports run(const QString& destinations, const std::shared_ptr<KOVA_Job>& forJob, const QString& container = {})
    {
        auto poster = KOVA_Template::init();
        poster->setFrame(QRectF(0, 0, 64, 48));
        poster->setDocumentURL(QUrl::fromLocalFile(QStringLiteral("/templates/Poster.xml")));
        auto layer = KOVA_Template::initForCopy();
        layer->setLayerType(KOVA_Template::layerTypeImage);
        layer->setFrame(QRectF(0, 0, 64, 48));
        layer->setGraphicPath(scratch.path("blue.png"));
        poster->addLayer(layer);
        const QByteArray xml = QStringLiteral("<output><Poster type=\"node\"/>%1</output>").arg(destinations).toUtf8();
        const auto output = KOVA_Output::initWithNode(kova::test::rootElement(xml.constData()));
        output->setTemplates({{QStringLiteral("Poster"), poster}});
        const auto package = KOVA_Package::init();
        package->setJob(forJob);
        if (!container.isEmpty())
            package->setValue(QStringLiteral("urlJobContainer"), QUrl::fromLocalFile(container));
        output->setPackage(package);
        Reports reports;
        output->processToCompletion([&](bool success, const Error& error) { reports.emplace_back(success, error); });
        return reports;
    }

    QString folder(const QString& name)
    {
        QDir().mkpath(scratch.path(name));
        return scratch.path(name);
    }

    kova::test::ScratchFolder scratch;
    const QString original = scratch.path("IMG_1.JPG");
    std::shared_ptr<KOVA_Job> job;
    std::shared_ptr<KOVA_OutputFileDelivery> delivery = std::make_shared<KOVA_OutputFileDelivery>();
};

} // namespace

// Each name format, with overwriting on and off: a file of an earlier job is replaced only
// when the set overwrites; a second file of the same name in one job never replaces the first.
TEST_F(OutputFileDelivery, setsNameFilesByTheirFormat)
{
    const struct {
        QString format;
        QString name;
    } cases[] = {
        {string_kova_ImageNameOnly, QStringLiteral("IMG_1")},
        {string_kova_ImagePlusDateTime, QStringLiteral("IMG_1_") + StampSeconds},
        {string_kova_ImagePlusTemplate, QStringLiteral("IMG_1_Poster")},
        {string_kova_ImagePlusCKTemplate, QStringLiteral("IMG_1_CK_Frame")},
    };
    for (const auto& c : cases) {
        for (const bool overwrite : {true, false}) {
            SCOPED_TRACE(c.format.toStdString() + (overwrite ? " overwriting" : ""));
            const QString out = folder(c.format + (overwrite ? QStringLiteral(" on") : QStringLiteral(" off")));
            const QString earlier = out + QLatin1Char('/') + c.name + QStringLiteral(".jpeg");
            ASSERT_TRUE(writeFile(earlier, "earlier job"));
            const auto set = pathSet(1, out, c.format, overwrite);
            // By name and by number: the same set.
            EXPECT_EQ(successes(run(setDestination(set->name()) + setDestination("1"), job)), 2u);

            QStringList expected{c.name + QStringLiteral(".jpeg"), c.name + QStringLiteral(" 1.jpeg")};
            if (!overwrite)
                expected.append(c.name + QStringLiteral(" 2.jpeg"));
            EXPECT_EQ(sorted(kova::test::entriesOf(out)), sorted(expected));
            EXPECT_EQ(readFile(earlier) == "earlier job", !overwrite);
            for (const QString& name : expected.mid(overwrite ? 0 : 1))
                EXPECT_EQ(QImage(out + QLatin1Char('/') + name).size(), QSize(64, 48)) << name.toStdString();
        }
    }
}

// Outputs of one job delivering at the same time to one name each keep their own file.
TEST_F(OutputFileDelivery, outputsDeliveringAtOnceKeepEachOthersFiles)
{
    const QString out = folder("together");
    pathSet(1, out, string_kova_ImageNameOnly, true);
    std::vector<std::thread> outputs;
    for (int started = 0; started < 4; ++started)
        outputs.emplace_back([&] { EXPECT_EQ(successes(run(setDestination("1"), job)), 1u); });
    for (std::thread& output : outputs)
        output.join();
    EXPECT_EQ(sorted(kova::test::entriesOf(out)), sorted({QStringLiteral("IMG_1.jpeg"), QStringLiteral("IMG_1 1.jpeg"),
                                                          QStringLiteral("IMG_1 2.jpeg"), QStringLiteral("IMG_1 3.jpeg")}));
}

// Without a set: the path's folder (or the path itself as a folder), the original's name with
// the stamp, never overwriting; with no path the fallback folder of the preferences or home.
TEST_F(OutputFileDelivery, destinationsWithoutASetNameFilesAfterTheOriginal)
{
    const QString home = folder("home");
    const QString preferred = scratch.path("fallback");
    const struct {
        const char* name;
        QString destination;
        QString folder;
        QStringList expected;
        QString preference;
    } cases[] = {
        {"file path", pathDestination(scratch.path("a/print.png")), scratch.path("a"),
         {QStringLiteral("IMG_1_%1.jpeg").arg(Stamp)}, {}},
        {"new folder", pathDestination(scratch.path("b/new"), QStringLiteral("<filename>poster</filename>")),
         scratch.path("b/new"), {QStringLiteral("image_%1.jpeg").arg(Stamp)}, {}},
        // A file already there is kept; the picture takes a free name.
        {"existing file", pathDestination(folder("c")), scratch.path("c"),
         {QStringLiteral("IMG_1_%1.jpeg").arg(Stamp), QStringLiteral("IMG_1_%1 1.jpeg").arg(Stamp)}, {}},
        {"home fallback", QStringLiteral(R"(<destination type="filepath"/>)"),
         home + QStringLiteral("/Desktop/PrintToFileOutputs/Unknown"), {QStringLiteral("IMG_1_%1.jpeg").arg(Stamp)}, {}},
        {"preferred fallback", QStringLiteral(R"(<destination type="filepath"/>)"), preferred,
         {QStringLiteral("IMG_1_%1.jpeg").arg(Stamp)}, preferred},
    };
    ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("c/IMG_1_%1.jpeg").arg(Stamp)), "earlier job"));
    const kova::test::ScopedEnvironment scopedHome("HOME", home);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        defaults()->setObject(c.preference.isEmpty() ? QVariant() : QVariant(c.preference), key_kovaFolderFallbackOutputPath);
        const QString log = kova::test::loggedBy([&] { EXPECT_EQ(successes(run(c.destination, job)), 1u); });
        EXPECT_EQ(sorted(kova::test::entriesOf(c.folder)), sorted(c.expected));
        EXPECT_EQ(log.contains(QStringLiteral("ERROR:a filepath destination is specifed, but no output filepath provided\n")),
                  c.destination.contains(QStringLiteral("/>")));
    }
    EXPECT_EQ(readFile(scratch.path(QStringLiteral("c/IMG_1_%1.jpeg").arg(Stamp))), "earlier job");
    defaults()->setObject(QVariant(), key_kovaFolderFallbackOutputPath);
}

// A job that names no original image still gives every file a name; a copy has nothing to copy.
TEST_F(OutputFileDelivery, withoutAnOriginalEveryNameIsImage)
{
    const QString out = folder("out");
    pathSet(1, out, string_kova_ImageNameOnly);
    pathSet(2, out, string_kova_ImagePlusDateTime);
    const auto unnamed = jobWithImage({});
    EXPECT_EQ(successes(run(setDestination("1") + setDestination("2") + pathDestination(out), unnamed)), 3u);
    EXPECT_EQ(sorted(kova::test::entriesOf(out)),
              sorted({QStringLiteral("image.jpeg"), QStringLiteral("image_") + StampSeconds + QStringLiteral(".jpeg"),
                      QStringLiteral("image_%1.jpeg").arg(Stamp)}));

    const auto reports = run(pathDestination(out, SaveOriginal), unnamed);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(reports.front().first);
    EXPECT_EQ(reports.front().second.code, 22);
}

// An upload set writes the upload information into the user comment, which Python's plistlib
// reads, and keeps the longer side within its limit; a set without a limit passes the largest
// one, and one that does not upload writes an empty comment.
TEST_F(OutputFileDelivery, uploadSetsLimitThePictureAndCommentIt)
{
    const QString out = folder("upload");
    auto limited = pathSet(3, out, string_kova_ImageNameOnly);
    limited->setUploadFolder(QStringLiteral("pt5"));
    limited->setWebUploadHasMaxPixels(true);
    limited->setWebUploadMaxPixels(20);
    auto unlimited = pathSet(4, folder("plain"), string_kova_ImageNameOnly);
    unlimited->setUploadFolder(string_kova_DoNotUpload);
    unlimited->setWebUploadHasMaxPixels(true);
    EXPECT_EQ(successes(run(setDestination("3") + setDestination("4"), job)), 2u);

    const QString uploaded = out + QStringLiteral("/IMG_1.jpeg");
    EXPECT_EQ(QImage(uploaded).size(), QSize(20, 15));
    const QString plain = scratch.path("plain/IMG_1.jpeg");
    EXPECT_EQ(QImage(plain).size(), QSize(64, 48));
    EXPECT_EQ(ZORVAK_EXIF::getEXIFUserCommentForImage(QUrl::fromLocalFile(plain)).value_or(QStringLiteral("none")), QString());

    const std::optional<QString> comment = ZORVAK_EXIF::getEXIFUserCommentForImage(QUrl::fromLocalFile(uploaded));
    ASSERT_TRUE(comment);
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    const QByteArray read = kova::test::runPython(
        QStringLiteral("import plistlib, sys\nprint(sorted(plistlib.loads(sys.stdin.buffer.read())['uploadInfo'].items()))"),
        comment->toUtf8());
    EXPECT_EQ(QString::fromUtf8(read),
              QStringLiteral("[('OriginalPath', '%1/IMG_1.JPG'), ('Version', 'KOVA-XML v1.0'), ('f', 'pt5')]\n").arg(out));
}

// Originals are copied without re-encoding: the compressed picture stays byte for byte, only
// the comment joins it; a copy's name keeps an image extension.
TEST_F(OutputFileDelivery, originalsAreCopiedAsTheyAre)
{
    auto stamped = pathSet(5, folder("stamped"), string_kova_ImagePlusDateTime);
    stamped->setUploadFolder(QStringLiteral("fyp"));
    pathSet(6, folder("template"), string_kova_ImagePlusTemplate);
    const QString plain = folder("plain");
    const QString plainCopy = QStringLiteral("%1/IMG_1_%2.jpg").arg(plain, Stamp);
    ASSERT_TRUE(writeFile(plainCopy, "earlier job"));
    // Every destination asks for the original: nothing is rendered.
    const QString copies
        = setDestination("5", SaveOriginal) + setDestination("6", SaveOriginal) + pathDestination(plain, SaveOriginal);
    EXPECT_EQ(successes(run(copies, job)), 3u);
    const QByteArray source = readFile(original);
    const QString commented = scratch.path(QStringLiteral("stamped/IMG_1_%1.JPG").arg(StampSeconds));
    EXPECT_EQ(scanOf(readFile(commented)), scanOf(source));
    const QString comment = ZORVAK_EXIF::getEXIFUserCommentForImage(QUrl::fromLocalFile(commented)).value_or(QString());
    EXPECT_TRUE(comment.contains(QStringLiteral("<string>%1/IMG_1_%2</string>").arg(scratch.path("stamped"), Stamp)))
        << comment.toStdString();
    EXPECT_TRUE(comment.contains(QStringLiteral("<string>fyp</string>")));
    EXPECT_EQ(readFile(scratch.path("template/IMG_1_Poster.JPG")), source);
    // Without a set a copy replaces a file of an earlier job, but not one of its own job.
    EXPECT_EQ(readFile(plainCopy), source);
    EXPECT_EQ(successes(run(pathDestination(plain, SaveOriginal) + pathDestination(plain), job)), 2u);
    EXPECT_EQ(sorted(kova::test::entriesOf(plain)),
              sorted({QStringLiteral("IMG_1_%1.jpg").arg(Stamp), QStringLiteral("IMG_1_%1 1.jpg").arg(Stamp),
                      QStringLiteral("IMG_1_%1.jpeg").arg(Stamp)}));
    EXPECT_EQ(readFile(QStringLiteral("%1/IMG_1_%2 1.jpg").arg(plain, Stamp)), source);
}

// Names from the ticket never lead out of the set's folder: whatever the original is called,
// every format, overwriting or not, writes one file directly in the set's folder.
TEST_F(OutputFileDelivery, hostileNamesStayInTheSetsFolder)
{
    const QString hostile[] = {QStringLiteral(".."), QStringLiteral("x/.."), QStringLiteral("."), QStringLiteral("/"),
                               QStringLiteral("n").repeated(300) + QStringLiteral(".JPG")};
    const QString formats[] = {string_kova_ImageNameOnly, string_kova_ImagePlusDateTime, string_kova_ImagePlusTemplate,
                               string_kova_ImagePlusCKTemplate};
    int number = 0;
    for (const QString& name : hostile) {
        const auto named = jobWithImage(QStringLiteral("<image1>%1</image1>").arg(name));
        for (const QString& format : formats) {
            for (const bool overwrite : {true, false}) {
                SCOPED_TRACE((name.left(12) + QLatin1Char(' ') + format + (overwrite ? QStringLiteral(" on") : QStringLiteral(" off"))).toStdString());
                const QString tree = scratch.path(QStringLiteral("tree %1").arg(++number));
                const QString out = folder(QStringLiteral("tree %1/Delivered/Path 1").arg(number));
                pathSet(1, out, format, overwrite);
                EXPECT_EQ(successes(run(setDestination("1") + setDestination("1", SaveOriginal), named)), 1u);
                EXPECT_EQ(kova::test::entriesOf(tree), QStringList{QStringLiteral("Delivered")});
                EXPECT_EQ(kova::test::entriesOf(tree + QStringLiteral("/Delivered")), QStringList{QStringLiteral("Path 1")});
                const QStringList written = kova::test::entriesOf(out);
                ASSERT_EQ(written.size(), 1);
                EXPECT_TRUE(QFileInfo(out + QLatin1Char('/') + written.front()).isFile());
                EXPECT_LE(written.front().toUtf8().size(), 255);
            }
        }
    }
}

// With overwriting, a link planted at a delivered name is replaced by the file; the file it
// pointed to is left as it was, for a rendered picture and for a copied original alike.
TEST_F(OutputFileDelivery, plantedLinksAreReplacedNotFollowed)
{
    const QString victim = scratch.path("victim.jpeg");
    ASSERT_TRUE(writeFile(victim, "keep"));
    const struct {
        const char* name;
        QString destination, planted;
    } cases[] = {
        {"rendered", setDestination("1"), QStringLiteral("IMG_1.jpeg")},
        {"copied", setDestination("1", SaveOriginal), QStringLiteral("IMG_1.JPG")},
        {"copied without a set", pathDestination(scratch.path("plain"), SaveOriginal), QStringLiteral("IMG_1_%1.jpg").arg(Stamp)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = folder(QStringLiteral("linked"));
        folder(QStringLiteral("plain"));
        pathSet(1, out, string_kova_ImageNameOnly, true);
        const QString planted = (c.destination.contains(QStringLiteral("itempath")) ? out : scratch.path("plain")) + QLatin1Char('/') + c.planted;
        ASSERT_TRUE(QFile::link(victim, planted));
        EXPECT_EQ(successes(run(c.destination, job)), 1u);
        EXPECT_FALSE(QFileInfo(planted).isSymLink());
        EXPECT_FALSE(QImage(planted).isNull());
        EXPECT_EQ(readFile(victim), "keep");
        ASSERT_TRUE(QFile::remove(planted));
    }
}

// A destination's own path may not climb out of its folder, and an original copied as it is
// must be the job's own: in its bundle, else beside its ticket, never found through the
// working folder (each climbing original would be found from the working folder given).
// Both are refused and logged, and nothing is written.
TEST_F(OutputFileDelivery, pathsLeavingTheirFolderAreRefused)
{
    const QString bundle = folder("Order.kovajob/Images");
    ASSERT_TRUE(writeFile(bundle + QStringLiteral("/IMG_2.JPG"), readFile(original)));
    ASSERT_TRUE(QFile::link(original, bundle + QStringLiteral("/linked.JPG")));
    ASSERT_TRUE(writeFile(folder("tickets/pics") + QStringLiteral("/IMG_3.JPG"), readFile(original)));
    const QString out = folder("out");
    const QString leads = QStringLiteral("leads out of the job folder");
    enum Job { InBundle, FromTicketFile, FromData };
    const struct {
        const char* name;
        QString destination, image;
        Job job;
        QString workingFolder, logged;
    } cases[] = {
        {"parent in the path", pathDestination(out + QStringLiteral("/../escaped")), original, InBundle, {},
         "refused the destination path"},
        {"parent in a copy's path", pathDestination(out + QStringLiteral("/x/../../escaped"), SaveOriginal), original,
         InBundle, {}, "refused the destination path"},
        {"original above the bundle", pathDestination(out, SaveOriginal), QStringLiteral("../../IMG_1.JPG"), InBundle,
         scratch.path("w/a"), leads},
        {"original linked out of the bundle", pathDestination(out, SaveOriginal), QStringLiteral("linked.JPG"), InBundle,
         {}, leads},
        {"original in the bundle", pathDestination(out, SaveOriginal), QStringLiteral("IMG_2.JPG"), InBundle, {}, ""},
        {"original above its ticket", pathDestination(out, SaveOriginal), QStringLiteral("../IMG_1.JPG"), FromTicketFile,
         scratch.path("w"), leads},
        {"original beside its ticket", pathDestination(out, SaveOriginal), QStringLiteral("pics/IMG_3.JPG"),
         FromTicketFile, scratch.path("w"), ""},
        {"relative original of a job without a folder", pathDestination(out, SaveOriginal), QStringLiteral("IMG_1.JPG"),
         FromData, scratch.path(), "the job has no folder"},
    };
    const QString ticket = scratch.path("tickets/order.xml");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString image = QStringLiteral("<image1>%1</image1>").arg(c.image);
        ASSERT_TRUE(writeFile(ticket, QStringLiteral("<data type=\"kova_job\" version=\"1.0\">%1</data>").arg(image).toUtf8()));
        const auto named = c.job == FromTicketFile ? KOVA_Job::instanceWithXMLObject(QUrl::fromLocalFile(ticket)) : jobWithImage(image);
        ASSERT_TRUE(named);
        Reports reports;
        const QString log = kova::test::loggedBy([&] {
            const kova::test::WorkingFolder working(c.workingFolder);
            reports = run(c.destination, named, c.job == InBundle ? scratch.path("Order.kovajob") : QString());
        });
        const bool refused = !c.logged.isEmpty();
        EXPECT_EQ(successes(reports), refused ? 0u : 1u);
        EXPECT_EQ(log.contains(c.logged), true) << log.toStdString();
        EXPECT_EQ(kova::test::entriesOf(out).size(), refused ? 0 : 1);
        EXPECT_FALSE(QFileInfo::exists(scratch.path("escaped")));
        for (const QString& name : kova::test::entriesOf(out))
            ASSERT_TRUE(QFile::remove(out + QLatin1Char('/') + name));
    }
}
