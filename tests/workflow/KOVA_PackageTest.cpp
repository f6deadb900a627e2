#include "workflow/packages/KOVA_Package.h"

#include "BundleLinks.h"
#include "FileFixtures.h"
#include "HostileFiles.h"
#include "XmlElements.h"
#include "core/foundation/KOVA_Constants.h"
#include "core/foundation/ZORVAK_SystemInfo.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/DispatchQueue.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/outputs/KOVA_Output.h"
#include "workflow/outputs/KOVA_OutputDelivery.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <ctime>
#include <functional>

#include <sys/stat.h>

namespace {

using kova::test::loggedBy;
using kova::test::rootElement;
using kova::test::ScratchFolder;
using kova::test::writeFile;

QByteArray packageFile(const QString& rootAttributes, const QString& body = {})
{
    return QStringLiteral("<package %1>%2</package>").arg(rootAttributes, body).toUtf8();
}

QByteArray packageCoded(const QString& code)
{
    return packageFile(QStringLiteral("type=\"KOVA_Package\" version=\"1.0\" plucode=\"%1\"").arg(code), QStringLiteral("<output/>"));
}

QByteArray templateFile(const QString& name)
{
    return QStringLiteral("<data type=\"KOVA_Template\" version=\"1.0\"><layout name=\"%1\" size=\"{100, 150}\"/></data>")
        .arg(name)
        .toUtf8();
}

bool writeImage(const QString& path, const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::gray);
    return QDir().mkpath(QFileInfo(path).path()) && image.save(path, "PNG");
}

// Points a folder preference at `folder` for one scope.
class FolderPreference {
public:
    FolderPreference(const QString& key, const QString& folder)
        : m_key(key)
    {
        platform::UserDefaults::standardUserDefaults()->setURL(QUrl::fromLocalFile(folder), key);
    }
    ~FolderPreference() { platform::UserDefaults::standardUserDefaults()->removeObjectForKey(m_key); }

private:
    QString m_key;
};

} // namespace

TEST(KOVA_PackageFile, rootAttributesAreTestedBeforeTheBody)
{
    const struct {
        const char* attributes;
        bool stop; // what the callback answers
        const char* calls; // each call's error code and code read so far
        const char* logged;
    } cases[] = {
        {"type=\"kova_package\" version=\"1.99\" plucode=\"P1\"", false, "0:P1 0:BODY", ""},
        {"extra=\"x\"", false, "0: 0:BODY", "Found unexpected XML attribute:extra=x"},
        {"name=\"Other\"", true, "0:", ""},
        {"plucode=\"P1\" type=\"KOVA_Template\" version=\"1.0\"", false,
         "-2:encountered incorrect file type KOVA_Template when parsing KOVA_Package", ""},
        {"type=\"KOVA_Package\" version=\"2.0\"", false, "-3:file version too new 2.0 when parsing KOVA_Package", ""},
        {"version=\"0.99\" type=\"KOVA_Package\"", false, "-3:file version too old 0.99 when parsing ", ""},
        {"type=\"KOVA_Package\" version=\"nan\"", false, "-3:file version too old nan when parsing KOVA_Package", ""},
        {"type=\"KOVA_Package\" version=\"1e999\"", false, "-3:file version too old 1e999 when parsing KOVA_Package", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attributes);
        const auto package = KOVA_XML_object::instanceWithXMLObject<KOVA_Package>(
            packageFile(QString::fromUtf8(c.attributes), QStringLiteral("<plucode>BODY</plucode><output/>")));
        ASSERT_TRUE(package);
        QStringList calls;
        const QString log = loggedBy([&] {
            package->parseXML([&](const QVariantMap& values, const platform::Error& error, bool& stop) {
                calls.append(QString::number(error.code) + ':' +
                             (error.isNull() ? values.value(QStringLiteral("plucode")).toString() : error.message));
                stop = c.stop;
            });
        });
        EXPECT_EQ(calls.join(' '), QString::fromUtf8(c.calls));
        EXPECT_EQ(package->outputs().size(), package->pluCode() == QLatin1String("BODY") ? 1 : 0);
        EXPECT_TRUE(log.contains(QString::fromUtf8(c.logged)));
    }
}

// The body is read, then written as an inline package and read back from that.
TEST(KOVA_PackageFile, bodyReadWrittenAndReadBack)
{
    ScratchFolder scratch;
    for (const QString name : {"first", "second"})
        ASSERT_TRUE(writeFile(scratch.path(name + ".xml"), templateFile(name)));
    const FolderPreference templates(key_kovaFolderTemplates, scratch.path());
    const QString body = QStringLiteral(
        "<!-- skipped --><?skip me?><PLUCODE>P7</PLUCODE><productid>42</productid><icon>i.png</icon>"
        "<price>\n<quantity start=\"1\">2.00</quantity></price>"
        "<template id=\"front\"><filepath>%1</filepath><filename>second.xml</filename></template>"
        "<portrait name=\"inplace\" size=\"{10, 20}\"/><output name=\"a\"/><output name=\"b\"/>")
                             .arg(scratch.path("first.xml"));
    // Not parsed yet: writing reads the document first.
    const auto package = KOVA_XML_object::instanceWithXMLObject<KOVA_Package>(
        packageFile(QStringLiteral("type=\"KOVA_Package\" version=\"1.0\" name=\"Seven\""), body));
    ASSERT_TRUE(package);
    platform::XmlNode written;
    const QString log = loggedBy([&] { written = package->asXMLElement(); });
    EXPECT_EQ(package->pluCode(), QStringLiteral("P7"));
    EXPECT_EQ(package->value(QStringLiteral("productid")).toString() + package->value(QStringLiteral("icon")).toString(),
              QStringLiteral("42i.png"));
    EXPECT_TRUE(log.contains(QStringLiteral("Found unexpected XML element kind:\n5")));
    EXPECT_TRUE(log.contains(QStringLiteral("error! bad element kind 7 for element")));
    EXPECT_EQ(package->kovaNodes().keys().join(' '), QStringLiteral("front inplace"));
    ASSERT_EQ(package->outputs().size(), 2);
    EXPECT_EQ(package->outputs().first()->package(), package);

    EXPECT_TRUE(written.xmlString().startsWith(QStringLiteral("<package type=\"inline\" id=\"Seven\"><template")));
    EXPECT_EQ(KOVA_Package::init()->asXMLElement().attributeForName("id").stringValue(), QStringLiteral("inlinePkg"));
    const auto readBack = KOVA_Package::initWithNode(platform::XmlDocument::create(written)->rootElement(), nullptr);
    const auto nodes = readBack->kovaNodes();
    ASSERT_EQ(nodes.keys().join(' '), QStringLiteral("front")); // only templates with a file are written
    EXPECT_EQ(nodes.value("front")->documentURL(), QUrl::fromLocalFile(scratch.path("second.xml")));
    EXPECT_EQ(readBack->outputs().size(), 2);
}

TEST(KOVA_PackageLookup, variantFallbackAndFolderOrder)
{
    enum Shape { Portrait, Landscape, Square, NoImage, PortraitInBundle };
    const struct {
        const char* name;
        Shape shape;
        QStringList bundle; // "file=code" entries of the bundle's "Packages"
        QStringList preferred; // the same for the preferences' folder
        const char* expected; // file name, or empty for none
        const char* logged;
    } cases[] = {
        {"portrait", Portrait, {}, {"a=P100PRT", "b=P100LS", "c=P100"}, "a", "Found package named"},
        {"landscape", Landscape, {}, {"a=P100PRT", "b=P100LS", "c=P100"}, "b", ""},
        {"square", Square, {}, {"a=P100PRT", "b=P100LS"}, "b", ""},
        {"no image", NoImage, {}, {"a=P100PRT", "b=P100LS"}, "b", ""},
        {"image in the bundle", PortraitInBundle, {}, {"a=P100PRT", "b=P100LS"}, "a", ""},
        {"fallback", Portrait, {}, {"c=P100", "d=X9"}, "c", "Found fallback package named P100"},
        {"case", Portrait, {}, {"a=p100prt"}, "a", ""},
        {"bundle fallback first", Portrait, {"c=P100"}, {"a=P100PRT"}, "c", ""},
        {"bundle without match", Portrait, {"d=X9"}, {"a=P100PRT"}, "a", "Skipping package named"},
        {"nothing", Portrait, {"d=X9"}, {"e=P1000"}, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder scratch;
        const QString bundle = scratch.path(QStringLiteral("order.kovajob"));
        const QString preferred = scratch.path(QStringLiteral("packages"));
        ASSERT_TRUE(QDir().mkpath(bundle + QStringLiteral("/Packages/deeper")) && QDir().mkpath(preferred));
        for (const QString& entry : c.bundle)
            ASSERT_TRUE(writeFile(bundle + "/Packages/deeper/" + entry.section('=', 0, 0) + ".xml", packageCoded(entry.section('=', 1))));
        for (const QString& entry : c.preferred)
            ASSERT_TRUE(writeFile(preferred + "/" + entry.section('=', 0, 0) + ".xml", packageCoded(entry.section('=', 1))));
        QString image1;
        if (c.shape == PortraitInBundle) {
            image1 = QStringLiteral("photo.png");
            ASSERT_TRUE(writeImage(bundle + QStringLiteral("/images/photo.png"), {20, 30}));
        } else if (c.shape != NoImage) {
            image1 = scratch.path(QStringLiteral("photo.png"));
            const QSize size = c.shape == Portrait ? QSize(20, 30) : c.shape == Landscape ? QSize(30, 20) : QSize(20, 20);
            ASSERT_TRUE(writeImage(image1, size));
        }
        const FolderPreference preference(key_kovaFolderPackages, preferred);
        QVariantMap description{{QStringLiteral("plucode"), QStringLiteral("P100")},
                                {QStringLiteral("job"), QUrl::fromLocalFile(bundle)}};
        if (!image1.isEmpty())
            description.insert(QStringLiteral("key"), QVariantMap{{QStringLiteral("image1"), image1}});
        KOVA_Package::Pointer found;
        const QString log = loggedBy([&] { found = KOVA_Package::packageWithDictionary(description); });
        EXPECT_EQ(found ? QFileInfo(found->documentURL().toLocalFile()).completeBaseName() : QString(), QString::fromUtf8(c.expected));
        EXPECT_TRUE(log.contains(c.logged)) << log.toStdString();
        if (found)
            EXPECT_EQ(found->urlJobContainer(), QUrl::fromLocalFile(bundle));
    }
}

// The first image's shape is read from the job's own folder only: a relative name is
// never opened against the working folder (which holds a portrait of that name), and an
// entry or Packages folder that a link takes out of the bundle is refused and named.
TEST(KOVA_PackageLookup, relativeNamesAndLinksOutOfTheBundleAreNotFollowed)
{
    ScratchFolder scratch;
    const QString elsewhere = scratch.path(QStringLiteral("elsewhere"));
    ASSERT_TRUE(writeImage(elsewhere + QStringLiteral("/photo.png"), {20, 30}));
    ASSERT_TRUE(writeFile(elsewhere + QStringLiteral("/x.xml"), packageCoded(QStringLiteral("P100LS"))));
    const QString preferred = scratch.path(QStringLiteral("packages"));
    ASSERT_TRUE(QDir().mkpath(preferred));
    ASSERT_TRUE(writeFile(preferred + QStringLiteral("/a.xml"), packageCoded(QStringLiteral("P100PRT"))));
    ASSERT_TRUE(writeFile(preferred + QStringLiteral("/b.xml"), packageCoded(QStringLiteral("P100LS"))));
    using kova::test::BundleLink;
    const auto linked = [&](BundleLink link) {
        return [&elsewhere, link](const QString& bundle) {
            ASSERT_TRUE(kova::test::layBundleLink(link, bundle, QStringLiteral("images"), QStringLiteral("photo.png"),
                                                  elsewhere + QStringLiteral("/photo.png"),
                                                  [](const QString& path) { return writeImage(path, {20, 30}); }));
        };
    };
    const QString refused = QStringLiteral("refused the path photo.png: it leads out of the job folder");
    const struct {
        QString name;
        bool inBundle;
        std::function<void(const QString& bundle)> layout;
        const char* expected;
        QString logged;
    } cases[] = {
        {QStringLiteral("bare ticket's relative name"), false, [](const QString&) {}, "b", {}},
        {QStringLiteral("name missing from the bundle"), true, [](const QString&) {}, "b", {}},
        {nameOf(BundleLink::PictureLinkedOut), true, linked(BundleLink::PictureLinkedOut), "b", refused},
        {nameOf(BundleLink::ImagesFolderLinkedOut), true, linked(BundleLink::ImagesFolderLinkedOut), "b", refused},
        {nameOf(BundleLink::PictureLinkedInside), true, linked(BundleLink::PictureLinkedInside), "a", {}},
        {nameOf(BundleLink::ImagesFolderLinkedInside), true, linked(BundleLink::ImagesFolderLinkedInside), "a", {}},
        {QStringLiteral("packages folder linked out"), true,
         [&](const QString& bundle) {
             ASSERT_TRUE(kova::test::linkMakingFolders(elsewhere, bundle + QStringLiteral("/Packages")));
         },
         "b", QStringLiteral("refused the path Packages: it leads out of the job folder")},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString bundle = scratch.path(QStringLiteral("order%1.kovajob").arg(run++));
        ASSERT_TRUE(QDir().mkpath(bundle));
        c.layout(bundle);
        const FolderPreference preference(key_kovaFolderPackages, preferred);
        QVariantMap description{{QStringLiteral("plucode"), QStringLiteral("P100")},
                                {QStringLiteral("key"), QVariantMap{{QStringLiteral("image1"), QStringLiteral("photo.png")}}}};
        if (c.inBundle)
            description.insert(QStringLiteral("job"), QUrl::fromLocalFile(bundle));
        KOVA_Package::Pointer found;
        const QString log = loggedBy([&] {
            const kova::test::WorkingFolder working(elsewhere);
            ASSERT_TRUE(QFileInfo(QStringLiteral("photo.png")).isFile());
            found = KOVA_Package::packageWithDictionary(description);
        });
        EXPECT_EQ(found ? QFileInfo(found->documentURL().toLocalFile()).completeBaseName() : QString(), QString::fromUtf8(c.expected));
        EXPECT_TRUE(log.contains(c.logged)) << log.toStdString();
    }
}

// A bare ticket's package variant follows its picture where the job finds it, beside the
// ticket, never a picture of that name in the working folder.
TEST(KOVA_PackageLookup, aBareTicketsVariantFollowsThePictureBesideIt)
{
    const struct {
        QSize besideTicket, inWorkingFolder;
        const char* expected;
    } cases[] = {
        {{20, 30}, {30, 20}, "a.xml"},
        {{30, 20}, {20, 30}, "b.xml"},
    };
    for (const auto& c : cases) {
        ScratchFolder scratch;
        const QString preferred = scratch.path(QStringLiteral("packages"));
        ASSERT_TRUE(QDir().mkpath(preferred) && QDir().mkpath(scratch.path(QStringLiteral("Hot"))));
        ASSERT_TRUE(writeFile(preferred + QStringLiteral("/a.xml"), packageCoded(QStringLiteral("P100PRT"))));
        ASSERT_TRUE(writeFile(preferred + QStringLiteral("/b.xml"), packageCoded(QStringLiteral("P100LS"))));
        ASSERT_TRUE(writeImage(scratch.path(QStringLiteral("Hot/photo.png")), c.besideTicket));
        ASSERT_TRUE(writeImage(scratch.path(QStringLiteral("w/photo.png")), c.inWorkingFolder));
        ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("Hot/bare.xml")),
                              "<data type=\"kova_job\" version=\"1.0\"><package plucode=\"P100\">"
                              "<image1>photo.png</image1></package></data>"));
        const FolderPreference preference(key_kovaFolderPackages, preferred);
        const auto job = KOVA_Job::instanceWithXMLObject(QUrl::fromLocalFile(scratch.path(QStringLiteral("Hot/bare.xml"))));
        ASSERT_TRUE(job);
        const QString log = loggedBy([&] {
            const kova::test::WorkingFolder working(scratch.path(QStringLiteral("w")));
            job->processJob({});
        });
        EXPECT_TRUE(log.contains(QUrl::fromLocalFile(preferred + QLatin1Char('/') + QString::fromUtf8(c.expected)).toString()))
            << c.expected << log.toStdString();
    }
}

TEST(KOVA_PackageLookup, candidatesJudgedByTheirCodeOnly)
{
    const struct {
        const char* name;
        QByteArray file;
        bool found;
        const char* logged;
    } cases[] = {
        {"foreign name keeps its body unread", packageFile("name=\"Other\"", "<plucode>P100LS</plucode>"), false, "Skipping package named Other"},
        {"no root code: judged by the body", packageFile("type=\"KOVA_Package\"", "<plucode>P100LS</plucode>"), true, ""},
        {"a failing root is skipped", packageFile("plucode=\"P100LS\" type=\"other\""), false, "ERROR: Skipping package file"},
        {"a too new file is skipped", packageFile("plucode=\"P100LS\" version=\"3\""), false, "file version too new 3"},
        {"not a package", "plain text, not XML", false, ""},
        {"empty", "", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder scratch;
        ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("candidate.xml")), c.file));
        const FolderPreference preference(key_kovaFolderPackages, scratch.path());
        KOVA_Package::Pointer found;
        const QString log = loggedBy([&] { found = KOVA_Package::packageWithDictionary({{QStringLiteral("plucode"), QStringLiteral("P100")}}); });
        EXPECT_EQ(found != nullptr, c.found);
        EXPECT_TRUE(log.contains(c.logged)) << log.toStdString();
    }
}

TEST(KOVA_PackageLookup, onlyRegularFilesAreRead)
{
    ScratchFolder scratch;
    const QString packages = scratch.path(QStringLiteral("packages"));
    ASSERT_TRUE(QDir().mkpath(packages) && QDir().mkpath(scratch.path(QStringLiteral("elsewhere"))));
    ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("elsewhere/P100LS.xml")), packageCoded(QStringLiteral("P100LS"))));
    ASSERT_TRUE(QFile::link(scratch.path(QStringLiteral("elsewhere/P100LS.xml")), packages + QStringLiteral("/link.xml")));
    ASSERT_TRUE(QFile::link(scratch.path(QStringLiteral("elsewhere")), packages + QStringLiteral("/linked-folder")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(packages + QStringLiteral("/fifo.xml")).constData(), 0600), 0);
    const FolderPreference preference(key_kovaFolderPackages, packages);
    EXPECT_FALSE(KOVA_Package::packageWithDictionary({{QStringLiteral("plucode"), QStringLiteral("P100")}}));
}

TEST(KOVA_PackageLookup, inlinePackageIsTakenAsItIs)
{
    const auto inlinePackage = KOVA_Package::init();
    EXPECT_EQ(KOVA_Package::packageWithDictionary({{"plucode", "P100"}, {"package", platform::Archivable::toVariant(inlinePackage)}}),
              inlinePackage);
    EXPECT_EQ(inlinePackage->type(), QStringLiteral("inline"));
}

TEST(KOVA_PackagePool, queuesAreHandedOutInTurn)
{
    const qint64 count = 2 * ZORVAK_SystemInfo().cpuCountLogical();
    const auto first = KOVA_Package::outputQueue();
    QList<std::shared_ptr<platform::DispatchQueue>> turn{first};
    for (auto next = KOVA_Package::outputQueue(); next != first && turn.size() <= count; next = KOVA_Package::outputQueue())
        turn.append(next);
    ASSERT_EQ(turn.size(), count);
    const QString prefix = QStringLiteral("com.morvanta.kova.template.rendering.");
    const int start = turn.first()->label().mid(prefix.size()).toInt();
    for (qsizetype index = 0; index < turn.size(); ++index)
        EXPECT_EQ(turn[index]->label(), prefix + QString::number((start + index) % count));
    EXPECT_EQ(KOVA_Package::atomicQueue()->label(), QStringLiteral("com.morvanta.kova.queue.sharedSynchronized.package"));
}

namespace {

// A job of the second dialect, which carries the destination label, with three images.
std::shared_ptr<KOVA_Job> jobWithLabel(const QString& label)
{
    const QString ticket = QStringLiteral("<order><plucode>P1</plucode><imagepath>a.jpg</imagepath>%1"
                                          "<allimages><i>a.jpg</i><i>b.jpg</i><i>c.jpg</i></allimages></order>")
                               .arg(label.isEmpty() ? QString() : QStringLiteral("<ipaddress>%1</ipaddress>").arg(label));
    return KOVA_Job::instanceWithXMLObject(ticket.toUtf8());
}

// Answers each original asked for by its destination's file path: "fail" fails with an
// error, "silent" fails without one, "warn" succeeds with an error.
class RecordingDelivery : public KOVA_OutputDelivery {
public:
    void deliver(KOVA_Output& output, const QImage&, const std::shared_ptr<KOVA_Destination>& destination, const Reply& reply) override
    {
        deliverOriginal(output, destination, reply);
    }
    void deliverOriginal(KOVA_Output& output, const std::shared_ptr<KOVA_Destination>& destination, const Reply& reply) override
    {
        const QString path = destination->filepath();
        {
            std::lock_guard lock(m_mutex);
            m_runs.append(path + QLatin1Char(':') + output.allImagesPath());
        }
        const platform::Error error{platform::Error::POSIXDomain, 5, path};
        reply(path != QLatin1String("fail") && path != QLatin1String("silent"),
              path == QLatin1String("fail") || path == QLatin1String("warn") ? error : platform::Error());
    }
    QStringList runs() const
    {
        std::lock_guard lock(m_mutex);
        QStringList sorted = m_runs;
        sorted.sort();
        return sorted;
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_runs;
};

QByteArray originalOutput(const QString& path, bool allImages = false)
{
    return QStringLiteral("<output name=\"%1\">%2<destination type=\"filepath\"><filepath>%1</filepath>"
                          "<saveoriginalfileasis>yes</saveoriginalfileasis></destination></output>")
        .arg(path, allImages ? QStringLiteral("<allimages/>") : QString())
        .toUtf8();
}

struct Outcome {
    bool success = false;
    platform::Error error;
    int calls = 0;
};

} // namespace

TEST(KOVA_PackageRun, jobLabelsEveryDestination)
{
    for (const QString& label : {QStringLiteral("lab-7"), QString()}) {
        SCOPED_TRACE(label.toStdString());
        const auto job = jobWithLabel(label);
        ASSERT_TRUE(job);
        const auto package = KOVA_Package::init();
        package->setJob(job);
        QList<std::shared_ptr<KOVA_Destination>> destinations;
        for (int index = 0; index < 2; ++index) {
            auto output = std::make_shared<KOVA_Output>();
            auto destination = KOVA_Destination::initWithFilepath(QStringLiteral("/nowhere"));
            destination->setValuesDict({{QStringLiteral("destinationLabel"), QStringLiteral("before")}});
            output->addDestinations({destination});
            destinations.append(destination);
            package->addOutputs({output});
        }
        package->processToCompletion({});
        for (const auto& destination : destinations)
            EXPECT_EQ(destination->destinationLabel(), label.isEmpty() ? QStringLiteral("before") : label);
    }
}

// Needs the output model's processing: the placeholder output reports nothing.
TEST(KOVA_PackageRun, outputsRunOnceAndAllImagesOncePerImage)
{
    const struct {
        const char* name;
        QStringList outputs;
        bool success;
        const char* error;
        const char* runs;
    } cases[] = {
        {"ordinary and all-images", {"ok", "ok2", "all*"}, true, "", "all:a.jpg all:b.jpg all:c.jpg ok2: ok:"},
        {"failure with error", {"fail", "ok"}, false, "fail", "fail: ok:"},
        {"success with error", {"warn", "ok"}, true, "warn", "ok: warn:"},
        {"failure without error", {"silent"}, false, "package Pk failed", "silent:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto delivery = std::make_shared<RecordingDelivery>();
        KOVA_OutputDelivery::install(KOVA_Destination::Kind::Filepath, delivery);
        const auto job = jobWithLabel({});
        ASSERT_TRUE(job);
        const auto package = KOVA_Package::initWithNode(rootElement("<package/>"), job);
        package->setValue(QStringLiteral("name"), QStringLiteral("Pk"));
        for (QString output : c.outputs) {
            const bool allImages = output.endsWith('*');
            output.remove('*');
            const auto read = KOVA_Output::initWithNode(rootElement(originalOutput(output, allImages).constData()));
            ASSERT_TRUE(read);
            package->addOutputs({read});
        }
        Outcome outcome;
        package->processToCompletion([&](bool success, const platform::Error& error) {
            outcome = {success, error, outcome.calls + 1};
        });
        EXPECT_EQ(outcome.calls, 1);
        EXPECT_EQ(outcome.success, c.success);
        EXPECT_EQ(outcome.error.message, QString::fromUtf8(c.error));
        EXPECT_EQ(delivery->runs().join(' '), QString::fromUtf8(c.runs));
    }
    KOVA_OutputDelivery::installDefaults();
}

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr double RefusalSeconds = 10; // the sanitizer's allocator is many times slower
#else
constexpr double RefusalSeconds = 1;
#endif

// The processor time of the calling thread, where the lookup reads its candidates.
double threadSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Fan-out past a limit is refused while the file is parsed, so the package is never found
// and a hundred thousand destinations cost no more than a thousand; inline in a ticket
// the reader refuses it: more outputs, or an output with more destinations or nodes,
// than a package may have.
TEST(KOVA_PackageLookup, fanOutPastTheLimitsIsRefused)
{
    const auto repeated = [](const char* element, int times) { return QString::fromUtf8(element).repeated(times); };
    const QString destination = QStringLiteral("<destination type=\"filepath\"><filepath>/out</filepath></destination>");
    const struct {
        const char* name;
        QString body;
        const char* fileRefusal; // both empty when the package is found
        const char* inlineRefusal;
    } cases[] = {
        {"1000 outputs", repeated("<output/>", 1000), "", ""},
        {"1001 outputs", repeated("<output/>", 1001), "\"package\" holds more than 1000 \"output\" elements", "more than 1000 outputs"},
        {"1000 destinations", "<output>" + destination.repeated(1000) + "</output>", "", ""},
        {"1001 destinations", "<output>" + destination.repeated(1001) + "</output>",
         "\"output\" holds more than 1000 \"destination\" elements", "more than 1000 destinations"},
        {"1001 nodes", "<output>" + repeated("<n type=\"node\"/>", 1001) + "</output>",
         "\"output\" holds more than 1000 \"n\" elements", "more than 1000 placement nodes"},
        {"100,000 destinations", "<output>" + destination.repeated(100'000) + "</output>",
         "\"output\" holds more than 1000 \"destination\" elements", "more than 1000 destinations"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder scratch;
        ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("candidate.xml")),
                              packageFile(QStringLiteral("type=\"KOVA_Package\" version=\"1.0\" plucode=\"P100\""), c.body)));
        const FolderPreference preference(key_kovaFolderPackages, scratch.path());
        KOVA_Package::Pointer found;
        const double started = threadSeconds(); // the reading's own work, however busy the machine
        const QString log = loggedBy([&] { found = KOVA_Package::packageWithDictionary({{QStringLiteral("plucode"), QStringLiteral("P100")}}); });
        EXPECT_LT(threadSeconds() - started, RefusalSeconds);
        const QString fileRefusal = QString::fromUtf8(c.fileRefusal);
        EXPECT_EQ(found == nullptr, !fileRefusal.isEmpty());
        EXPECT_TRUE(fileRefusal.isEmpty() || log.contains(fileRefusal)) << log.toStdString();
        // The same body inline in a ticket.
        const QByteArray inlineBody = QStringLiteral("<package type=\"inline\">%1</package>").arg(c.body).toUtf8();
        const QString inlineLog = loggedBy([&] {
            const auto inlinePackage = KOVA_Package::initWithNode(rootElement(inlineBody.constData()), nullptr);
            EXPECT_EQ(inlinePackage == nullptr, !fileRefusal.isEmpty());
        });
        EXPECT_TRUE(inlineLog.contains(QString::fromUtf8(c.inlineRefusal))) << inlineLog.toStdString();
    }
}
