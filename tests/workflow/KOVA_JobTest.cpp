#include "workflow/jobs/KOVA_Job.h"

#include "BundleLinks.h"
#include "FileFixtures.h"
#include "HostileFiles.h"
#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/StandardPaths.h"
#include "template/KOVA_XML_object.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using kova::test::loggedBy;
using kova::test::ScratchFolder;
using kova::test::writeFile;

struct Read {
    std::shared_ptr<KOVA_Job> job;
    QString log;
};

Read readTicket(const QVariant& object)
{
    Read read;
    read.log = loggedBy([&] { read.job = KOVA_Job::instanceWithXMLObject(object); });
    return read;
}

Read readNative(const QString& children)
{
    return readTicket(QStringLiteral("<data type=\"kova_job\" version=\"1.0\">%1</data>").arg(children).toUtf8());
}

QString entry(const std::shared_ptr<KOVA_Job>& job, const QString& group, const QString& name = QStringLiteral("image1"))
{
    return job->value(group).toMap().value(name, QStringLiteral("-")).toString();
}

} // namespace

TEST(KOVA_JobTicket, dialectsVersionsAndHalfWrittenTickets)
{
    const struct {
        const char* ticket;
        bool givesJob;
        const char* logged;
    } cases[] = {
        {"<data type=\"KOVA_JOB\" version=\"1.99\" Extra=\"x\"/>", true, "Found unexpected XML attribute:Extra=x"},
        {"<data type=\"kova_job\" version=\"2\"/>", false, "file version too new 2 when parsing kova_job"},
        {"<data type=\"kova_job\"/>", false, "file version too old 0 when parsing kova_job"},
        {"<data type=\"kova_job\" version=\"nan\"/>", false, "file version too old 0"},
        {"<data type=\"kova_job\" version=\"inf\"/>", false, "file version too old 0"},
        {"<data><package name=\"A\"/><imagepath>a.jpg</imagepath></data>", false, "Error parsing job; no plucode"},
        {"<data type=\"other\" version=\"9\"><plucode>P1</plucode></data>", false, "Error parsing job; no imagepath"},
        {"<data type=\"kova_job\" version=\"1.0\"><image1>a.jpg", false, "NSXMLParserErrorDomain Code=77 \"data of 49 bytes: Line 1:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ticket);
        const Read read = readTicket(QByteArray(c.ticket));
        EXPECT_EQ(read.job != nullptr, c.givesJob);
        EXPECT_TRUE(read.log.contains(QString::fromUtf8(c.logged))) << read.log.toStdString();
    }
}

// A job's version is the number its text begins with, as the package reader reads it.
TEST(KOVA_JobTicket, versionIsTheNumberItsTextBeginsWith)
{
    const std::pair<const char*, double> cases[] = {{"1.0.5", 1.0}, {"1.99abc", 1.99}, {"abc", 0}, {"", 0}, {" 1.5", 1.5}};
    for (const auto& [text, version] : cases) {
        SCOPED_TRACE(text);
        EXPECT_DOUBLE_EQ(KOVA_XML_object::versionNumber(QString::fromUtf8(text)), version);
        const auto job = KOVA_Job::instanceWithXMLObject(
            QStringLiteral(R"(<data type="kova_job" version="%1"><image1>a.jpg</image1></data>)").arg(QString::fromUtf8(text)).toUtf8());
        ASSERT_EQ(job != nullptr, version >= 1.0);
        if (job) {
            EXPECT_DOUBLE_EQ(job->version(), version);
        }
    }
}

TEST(KOVA_JobTicket, externalEntitiesAreNeverLoaded)
{
    ScratchFolder scratch;
    ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("outside.txt")), "outside-secret"));
    const QString ticket = QStringLiteral("<!DOCTYPE data [<!ENTITY x SYSTEM \"file://%1\">]>"
                                          "<data type=\"kova_job\" version=\"1.0\"><image1>&x;</image1></data>")
                               .arg(scratch.path(QStringLiteral("outside.txt")));
    const Read read = readTicket(ticket.toUtf8());
    EXPECT_FALSE(read.job && read.job->replacements().value(QStringLiteral("image1")).toString().contains(QStringLiteral("secret")));
}

TEST(KOVA_JobTicket, valueRulesForCompactAndExpandedElements)
{
    const struct {
        const char* element;
        const char* key;
        const char* croprect;
        const char* rotation;
        const char* templateName;
    } cases[] = {
        {"<image1 croprect=\"R\">a.jpg</image1>", "a.jpg", "R", "-", "-"},
        {"<image1><filepath>a.jpg</filepath><croprect>R</croprect><rotation>90</rotation><template>T</template></image1>",
         "a.jpg", "R", "90", "T"},
        // The attribute counts only with exactly one child node; whitespace is a node.
        {"<image1 croprect=\"R\">\n  <filepath>a.jpg</filepath>\n</image1>", "a.jpg", "-", "-", "-"},
        {"<image1 croprect=\"R\"><filepath>a.jpg</filepath></image1>", "a.jpg", "R", "-", "-"},
        {"<image1><rotation>90</rotation></image1>", "90", "-", "-", "-"},
        {"<image1/>", "-", "-", "-", "-"},
        {"<image1><!-- none --></image1>", "-", "-", "-", "-"},
        {"<image1> a.jpg </image1>", " a.jpg ", "-", "-", "-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.element);
        const Read read = readNative(QString::fromUtf8(c.element));
        ASSERT_TRUE(read.job);
        EXPECT_EQ(entry(read.job, QStringLiteral("key")), QString::fromUtf8(c.key));
        EXPECT_EQ(entry(read.job, QStringLiteral("croprect")), QString::fromUtf8(c.croprect));
        EXPECT_EQ(entry(read.job, QStringLiteral("rotation")), QString::fromUtf8(c.rotation));
        EXPECT_EQ(entry(read.job, QStringLiteral("template")), QString::fromUtf8(c.templateName));
    }
    EXPECT_TRUE(readNative(QStringLiteral("<image1/>")).log.contains(QStringLiteral("unrecognized element image1 : ")));
}

TEST(KOVA_JobTicket, nativePackagesImagesAndWhitespaceNodes)
{
    const Read read = readNative(QStringLiteral("\n <package><!-- c --></package>\n <package name=\"A\"/>\n"
                                                " <package id=\"B\" plucode=\"P2\" odd=\"1\"><image1>b.jpg</image1></package>\n"
                                                " <plucode>P1</plucode><allimages><filepath>x.jpg</filepath>\n</allimages>\n"));
    ASSERT_TRUE(read.job);
    const QVariantList packages = read.job->jobPackages();
    ASSERT_EQ(packages.size(), 2);
    EXPECT_EQ(packages[1].toMap().value(QStringLiteral("plucode")), QStringLiteral("P2"));
    EXPECT_EQ(read.job->valueForKey(QStringLiteral("image1"), QStringLiteral("P2")), QStringLiteral("b.jpg"));
    EXPECT_EQ(read.job->packageLabel(), QStringLiteral("A"));
    // A root-level "plucode" is an ordinary value in the native dialect.
    EXPECT_EQ(read.job->replacements().value(QStringLiteral("plucode")), QStringLiteral("P1"));
    EXPECT_TRUE(read.job->pluCode().isEmpty());
    EXPECT_EQ(read.job->value(QStringLiteral("allimages")).toList(), QVariantList{QStringLiteral("x.jpg")});
    EXPECT_TRUE(read.log.contains(QStringLiteral("Found unexpected XML attribute \"odd=1\" while parsing package")));
    EXPECT_EQ(read.log.count(QStringLiteral("Found unexpected XML element kind:\n7")), 6); // one per whitespace node
}

TEST(KOVA_JobTicket, wrenlowPathsJoinTheSearchFolder)
{
    const QString node = platform::StandardPaths::path(platform::StandardPaths::Folder::Home)
        + QStringLiteral("/.java/.userPrefs/Wrenlow");
    ASSERT_TRUE(QDir().mkpath(node));
    ASSERT_TRUE(writeFile(node + QStringLiteral("/prefs.xml"),
                          "<map MAP_XML_VERSION=\"1.0\"><entry key=\"searchfolder\" value=\"/Volumes/Orders\"/></map>"));
    const Read read = readTicket(QByteArray("<order><PLUCODE>P9</PLUCODE><imagepath>a/b.jpg</imagepath>"
                                            "<allimages><filepath>c.jpg</filepath></allimages></order>"));
    QDir(node).removeRecursively();
    ASSERT_TRUE(read.job);
    EXPECT_EQ(read.job->jobType(), QStringLiteral("KOVA_Job_wrenlow"));
    EXPECT_EQ(read.job->pluCode(), QStringLiteral("P9"));
    EXPECT_EQ(read.job->graphicPath(), QStringLiteral("/Volumes/Orders/a/b.jpg"));
    EXPECT_EQ(read.job->packageName(), QStringLiteral("P9"));
    EXPECT_EQ(read.job->stampForKey(QStringLiteral("filename"), {}), QStringLiteral("b.jpg"));
    EXPECT_EQ(read.job->valueForKey(QStringLiteral("image1"), {}), QStringLiteral("/Volumes/Orders/a/b.jpg"));
    EXPECT_EQ(read.job->value(QStringLiteral("allimages")).toList(), QVariantList{QStringLiteral("/Volumes/Orders/c.jpg")});
}

TEST(KOVA_JobLookup, packageByNameOrCodeWithSuffixesStripped)
{
    const Read read = readNative(QStringLiteral("<package name=\"Alpha\"><image1>a.jpg</image1></package>"
                                                "<package name=\"Beta\"><image1>b.jpg</image1></package>"));
    ASSERT_TRUE(read.job);
    const struct {
        const char* packageName;
        const char* image;
    } cases[] = {{"Beta", "b.jpg"}, {"BETA", "b.jpg"}, {"BetaPRT", "b.jpg"}, {"BetaLS", "b.jpg"},
                 {"Betaprt", "a.jpg"}, {"Gamma", "a.jpg"}, {"", "a.jpg"}};
    for (const auto& c : cases)
        EXPECT_EQ(read.job->valueForKey(QStringLiteral("image1"), QString::fromUtf8(c.packageName)),
                  QString::fromUtf8(c.image)) << c.packageName;
    EXPECT_EQ(read.job->stampForKey(QStringLiteral("date"), {}), QStringLiteral("date"));
    EXPECT_EQ(read.job->previewItemIndex(), -1);
    read.job->setPreviewItemIndex(5);
    EXPECT_EQ(read.job->previewItemIndex(), -1);
}

TEST(KOVA_JobFiles, bundlesBareTicketsAndReceipts)
{
    ScratchFolder scratch;
    const QByteArray ticket = "<data type=\"kova_job\" version=\"1.0\"><image1>a.jpg</image1></data>";
    ASSERT_TRUE(QDir().mkpath(scratch.path(QStringLiteral("Order.kovajob/images"))));
    ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("Order.kovajob/JOB.XML")), ticket));
    ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("Order.kovajob/images/a.jpg")), "jpeg"));
    for (const char* name : {"Receipt-0042.xml", "receipt.xml", "bare.xml"})
        ASSERT_TRUE(writeFile(scratch.path(QString::fromUtf8(name)), ticket));
    ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("half.xml")), ticket.left(50)));

    const Read bundle = readTicket(scratch.path(QStringLiteral("Order.kovajob/")));
    ASSERT_TRUE(bundle.job);
    EXPECT_EQ(bundle.job->name(), QStringLiteral("Order"));
    EXPECT_EQ(bundle.job->graphicPath(), scratch.path(QStringLiteral("Order.kovajob/images/a.jpg")));
    EXPECT_EQ(bundle.job->previewItems().size(), 2); // the ticket and the image
    const Read inBundle = readTicket(QUrl::fromLocalFile(scratch.path(QStringLiteral("Order.kovajob/JOB.XML"))));
    ASSERT_TRUE(inBundle.job);
    EXPECT_EQ(inBundle.job->urlJobContainer(), QUrl::fromLocalFile(scratch.path(QStringLiteral("Order.kovajob"))));
    EXPECT_TRUE(inBundle.job->isEqual(*bundle.job)); // one ticket file, however it was named
    const Read fromData = readTicket(ticket);
    ASSERT_TRUE(fromData.job);
    EXPECT_FALSE(fromData.job->isEqual(*readTicket(ticket).job));

    EXPECT_FALSE(readTicket(scratch.path(QStringLiteral("Receipt-0042.xml"))).job);
    EXPECT_FALSE(readTicket(scratch.path(QStringLiteral("receipt.xml"))).job);
    EXPECT_TRUE(readTicket(scratch.path(QStringLiteral("bare.xml"))).job);
    const Read half = readTicket(scratch.path(QStringLiteral("half.xml")));
    EXPECT_FALSE(half.job);
    EXPECT_TRUE(half.log.contains(scratch.path(QStringLiteral("half.xml")) + QStringLiteral(": Line 1: "))) << half.log.toStdString();
}

TEST(KOVA_JobFiles, pipesFoldersAndOversizedTicketsAreRefused)
{
    ScratchFolder scratch;
    const auto readJob = [](const QString& path, const QString& opened) {
        return loggedBy([&] { EXPECT_FALSE(KOVA_Job::instanceWithXMLObject(opened.isEmpty() ? path : opened)); });
    };
    kova::test::expectSpecialFilesRefused({"bare ticket", KOVA_Job::MaximumTicketSize,
                                           [&](const QString& kind) { return scratch.path(kind + QStringLiteral(".xml")); },
                                           [&](const QString& path) { return readJob(path, {}); }});
    kova::test::expectSpecialFilesRefused({"bundle ticket", KOVA_Job::MaximumTicketSize,
                                           [&](const QString& kind) {
                                               const QString bundle = scratch.path(kind + QStringLiteral(".kovajob"));
                                               QDir().mkpath(bundle);
                                               return bundle + QStringLiteral("/job.xml");
                                           },
                                           [&](const QString& path) { return readJob(path, QFileInfo(path).path()); }});
}

// A picture named relatively lies in the job's own folder (or the ordering
// application's search folder, for a bare ticket), never outside it.
TEST(KOVA_JobFiles, picturesNamedRelativelyStayInsideTheJobsFolder)
{
    ScratchFolder scratch;
    ASSERT_TRUE(QDir().mkpath(scratch.path(QStringLiteral("Order.kovajob/images"))));
    ASSERT_TRUE(QDir().mkpath(scratch.path(QStringLiteral("Hot"))));
    ASSERT_TRUE(QDir().mkpath(scratch.path(QStringLiteral("Search"))));
    ASSERT_TRUE(QDir().mkpath(scratch.path(QStringLiteral("Tree/Templates"))));
    ASSERT_TRUE(QDir().mkpath(scratch.path(QStringLiteral("Tree/Images"))));
    for (const char* name : {"Order.kovajob/images/a.jpg", "Hot/photo.jpg", "secret.jpg", "Search/found.jpg", "Tree/Images/tree.jpg"})
        ASSERT_TRUE(writeFile(scratch.path(QString::fromUtf8(name)), "jpeg"));
    ASSERT_TRUE(QFile::link(scratch.path(QStringLiteral("secret.jpg")), scratch.path(QStringLiteral("Hot/link.jpg"))));
    const QString node = platform::StandardPaths::path(platform::StandardPaths::Folder::Home)
        + QStringLiteral("/.java/.userPrefs/Wrenlow");
    ASSERT_TRUE(QDir().mkpath(node));
    ASSERT_TRUE(writeFile(node + QStringLiteral("/prefs.xml"),
                          QStringLiteral("<map MAP_XML_VERSION=\"1.0\"><entry key=\"searchfolder\" value=\"%1\"/></map>")
                              .arg(scratch.path(QStringLiteral("Search"))).toUtf8()));
    // Rendering finds a bare ticket's pictures beside the templates folder too.
    const auto defaults = platform::UserDefaults::standardUserDefaults();
    ASSERT_TRUE(defaults->setURL(QUrl::fromLocalFile(scratch.path(QStringLiteral("Tree/Templates"))), key_kovaFolderTemplates));
    const QByteArray ticket = "<data type=\"kova_job\" version=\"1.0\"><image1>photo.jpg</image1></data>";
    ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("Order.kovajob/job.xml")), ticket));
    ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("Hot/bare.xml")), ticket));
    const auto bundle = KOVA_Job::instanceWithXMLObject(scratch.path(QStringLiteral("Order.kovajob")));
    const auto bare = KOVA_Job::instanceWithXMLObject(scratch.path(QStringLiteral("Hot/bare.xml")));
    const auto data = KOVA_Job::instanceWithXMLObject(ticket);
    ASSERT_TRUE(bundle && bare && data);
    EXPECT_EQ(bare->graphicPath(), scratch.path(QStringLiteral("Hot/photo.jpg")));
    const struct {
        const KOVA_Job* job;
        QString name;
        QString path; // empty: none
    } cases[] = {
        {bundle.get(), QStringLiteral("a.jpg"), scratch.path(QStringLiteral("Order.kovajob/images/a.jpg"))},
        {bundle.get(), QStringLiteral("../../secret.jpg"), QString()},
        {bare.get(), QStringLiteral("photo.jpg"), scratch.path(QStringLiteral("Hot/photo.jpg"))},
        {bare.get(), QStringLiteral("found.jpg"), scratch.path(QStringLiteral("Search/found.jpg"))},
        {bare.get(), QStringLiteral("tree.jpg"), scratch.path(QStringLiteral("Tree/Images/tree.jpg"))},
        {bare.get(), QStringLiteral("later.jpg"), scratch.path(QStringLiteral("Hot/later.jpg"))},
        {bare.get(), QStringLiteral("../secret.jpg"), QString()},
        {bare.get(), QStringLiteral("link.jpg"), QString()},
        {bare.get(), QStringLiteral("/elsewhere/x.jpg"), QStringLiteral("/elsewhere/x.jpg")},
        {data.get(), QStringLiteral("x.jpg"), QStringLiteral("x.jpg")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.job->picturePath(c.name), c.path) << c.name.toStdString();
    QDir(node).removeRecursively();
    defaults->removeObjectForKey(key_kovaFolderTemplates);
}

// A bundle's entry that a link takes out of the bundle (the picture, or its images
// folder) is neither a picture of the job nor among its preview items; links that stay
// inside the bundle are.
TEST(KOVA_JobFiles, linksLeadingOutOfABundleAreNeitherPicturesNorPreviewItems)
{
    using kova::test::BundleLink;
    ScratchFolder scratch;
    // Written with the folders it lies in.
    const auto put = [](const QString& path, const QByteArray& data = "jpeg") {
        return QDir().mkpath(QFileInfo(path).path()) && writeFile(path, data);
    };
    const QString outside = scratch.path(QStringLiteral("elsewhere/photo.jpg"));
    ASSERT_TRUE(put(outside));
    const struct {
        BundleLink link;
        qsizetype previewItems; // the ticket and cover.jpg, and what the links add
    } cases[] = {
        {BundleLink::PictureLinkedOut, 2},
        {BundleLink::ImagesFolderLinkedOut, 2},
        {BundleLink::PictureLinkedInside, 4},
        {BundleLink::ImagesFolderLinkedInside, 3},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(kova::test::nameOf(c.link));
        const QString bundle = scratch.path(QStringLiteral("Order%1.kovajob").arg(run++));
        ASSERT_TRUE(put(bundle + QStringLiteral("/job.xml"),
                        "<data type=\"kova_job\" version=\"1.0\"><image1>photo.jpg</image1></data>"));
        ASSERT_TRUE(put(bundle + QStringLiteral("/cover.jpg")));
        ASSERT_TRUE(kova::test::layBundleLink(c.link, bundle, QStringLiteral("images"), QStringLiteral("photo.jpg"), outside,
                                              [&](const QString& path) { return put(path); }));
        const auto job = KOVA_Job::instanceWithXMLObject(bundle);
        ASSERT_TRUE(job);
        const QString picture = bundle + QStringLiteral("/images/photo.jpg");
        EXPECT_EQ(job->picturePath(QStringLiteral("photo.jpg")), kova::test::leadsOut(c.link) ? QString() : picture);
        const QVariantList items = job->previewItems();
        EXPECT_EQ(items.size(), c.previewItems);
        const QString inside = QFileInfo(bundle).canonicalFilePath() + QLatin1Char('/');
        for (const QVariant& item : items) {
            const QString file = QFileInfo(item.toUrl().toLocalFile()).canonicalFilePath();
            EXPECT_TRUE(file.startsWith(inside)) << file.toStdString();
        }
    }
}
