#include "workflow/outputs/KOVA_Output.h"

#include "../core/ImageTestPictures.h"
#include "FileFixtures.h"
#include "FoundationArchive.h"
#include "HostileFiles.h"
#include "PythonReader.h"
#include "XmlElements.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "template/KOVA_XML_Keys.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/outputs/KOVA_OutputDelivery.h"
#include "workflow/packages/KOVA_Package.h"


#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

using kova::test::blue;
using kova::test::green;
using kova::test::near;
using kova::test::red;
using kova::test::yellow;
using platform::Error;
using Kind = KOVA_Destination::Kind;

namespace {

const QColor clear(0, 0, 0, 0);
const QColor black(0, 0, 0);

const std::initializer_list<Kind> DeliveredKinds{Kind::Filepath, Kind::Printer};

// Keeps what the output hands over, per destination.
class RecordingDelivery : public KOVA_OutputDelivery {
public:
    void deliver(KOVA_Output&, const QImage& picture, const std::shared_ptr<KOVA_Destination>& destination,
                 const Reply&) override
    {
        const std::lock_guard lock(mutex);
        pictures.push_back(picture);
        kinds.push_back(destination->kind());
    }
    void deliverOriginal(KOVA_Output&, const std::shared_ptr<KOVA_Destination>& destination, const Reply&) override
    {
        originals.push_back(destination->filepath());
    }

    std::mutex mutex; // outputs may run at once
    std::vector<QImage> pictures;
    std::vector<Kind> kinds;
    std::vector<QString> originals;
};

using Report = std::pair<bool, Error>;

// Templates filled from a job whose "image1" is a picture of four coloured quadrants; the
// output runs with a recording delivery installed for files and printers.
class KOVA_OutputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString quadrants = picture(QStringLiteral("quadrants.png"), kova::test::quadrants(100, 100));
        job = KOVA_Job::instanceWithXMLObject(
            QStringLiteral("<data type=\"kova_job\" version=\"1.0\"><image1>%1</image1></data>").arg(quadrants).toUtf8());
        ASSERT_TRUE(job);
        package->setJob(job);
        install(delivery);
    }
    void TearDown() override { KOVA_OutputDelivery::installDefaults(); }

    static void install(const std::shared_ptr<KOVA_OutputDelivery>& delivery)
    {
        for (const Kind kind : DeliveredKinds)
            KOVA_OutputDelivery::install(kind, delivery);
    }

    QString picture(const QString& name, const QImage& image)
    {
        const QString path = scratch.path(name);
        EXPECT_TRUE(kova::test::writeFile(path, kova::test::encoded(image, "PNG")));
        return path;
    }

    // A template of `size` with one image layer filling it: keyed "image1" it shows the job's
    // picture, else a solid blue one.
    KOVA_Template::Pointer templateNamed(const QString& name, const QSizeF& size, bool keyed)
    {
        auto root = KOVA_Template::init();
        root->setValue(KOVA_XML_Key_name, name);
        root->setFrame(QRectF(QPointF(0, 0), size));
        auto layer = KOVA_Template::initForCopy();
        layer->setLayerType(KOVA_Template::layerTypeImage);
        layer->setFrame(QRectF(QPointF(0, 0), size));
        layer->setGravity(QStringLiteral("resize"));
        layer->setGraphicPath(picture(QStringLiteral("blue.png"), kova::test::solid(8, 8, blue)));
        if (keyed)
            layer->setKey(QStringLiteral("image1"));
        root->addLayer(layer);
        return root;
    }

    KOVA_Output::Pointer outputFrom(const QString& xml)
    {
        auto output = KOVA_Output::initWithNode(kova::test::rootElement(xml.toUtf8().constData()));
        output->setTemplates({{QStringLiteral("Photo"), templateNamed(QStringLiteral("Photo"), {100, 100}, true)},
                              {QStringLiteral("Blue"), templateNamed(QStringLiteral("Blue"), {50, 50}, false)}});
        output->setPackage(package);
        return output;
    }

    std::vector<Report> run(const KOVA_Output::Pointer& output)
    {
        std::vector<Report> reports;
        output->processToCompletion([&](bool success, const Error& error) { reports.emplace_back(success, error); });
        return reports;
    }

    kova::test::ScratchFolder scratch;
    std::shared_ptr<KOVA_Job> job;
    KOVA_Package::Pointer package = KOVA_Package::init();
    std::shared_ptr<RecordingDelivery> delivery = std::make_shared<RecordingDelivery>();
};

const QString FileDestination = QStringLiteral(R"(<destination type="filepath"><filepath>/out</filepath></destination>)");
const QString CodedPhoto =
    QStringLiteral(R"(<output size="{100, 100}"><barcode type="aztec"/><Photo type="node"/>%1</output>)").arg(FileDestination);

struct Probe {
    int x, y; // in the picture's stored rows, top-left origin
    QColor color;
};

} // namespace

TEST_F(KOVA_OutputTest, composesThePictureEachDestinationReceives)
{
    const struct {
        const char* name;
        QString body;
        QSize size;
        std::vector<Probe> probes;
        bool photoOnly = false;
        bool rescaleLogged = false;
    } cases[] = {
        // One template and no node: the template's picture, whatever the output size.
        {"one template", QStringLiteral(R"(<output size="{10, 10}">%1</output>)"), {100, 100},
         {{10, 10, red}, {90, 10, green}, {10, 90, blue}, {90, 90, yellow}}, true},
        // A simple outlet delivers the cropped picture as it is; the crop counts from the top left.
        {"simple outlet",
         QStringLiteral(R"(<output size="{50, 50}"><Photo type="node" croprect="{{50, 0}, {50, 50}}" frame="{{0, 0}, {50, 50}}"/>)"
                        R"(%1</output>)"),
         {50, 50}, {{5, 5, green}, {45, 45, green}}, false, true},
        // A crop reaching beyond the picture is clipped to it.
        {"clipped crop", QStringLiteral(R"(<output><Photo type="node" croprect="{{50, 50}, {500, 500}}"/>%1</output>)"), {50, 50},
         {{5, 5, yellow}, {45, 45, yellow}}},
        // N-up: nodes in order, frames in order; a later frame covers an earlier one.
        {"n-up",
         QStringLiteral(R"(<output size="{200, 100}">)"
                        R"(<Photo type="node"><frame>{{0, 0}, {50, 50}}</frame><frame>{{100, 0}, {100, 100}}</frame></Photo>)"
                        R"(<Blue TYPE="Node"><frame>{{0, 50}, {50, 50}}</frame><frame>{{30, 30}, {10, 10}}</frame></Blue>%1</output>)"),
         {200, 100},
         {{5, 5, red}, {45, 5, green}, {5, 45, blue}, {25, 75, blue}, {35, 35, blue}, {60, 50, clear}, {110, 10, red}, {190, 90, yellow}}},
        // The shadow's offset dy grows downwards, as frames do.
        {"shadow",
         QStringLiteral(R"(<output size="{100, 100}"><Blue type="node" frame="{{20, 20}, {40, 40}}">)"
                        R"(<shadowcolor blur="0" offset="{10, 10}">#000000FF</shadowcolor></Blue>%1</output>)"),
         {100, 100}, {{40, 40, blue}, {65, 65, black}, {65, 25, clear}, {25, 65, clear}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        install(delivery = std::make_shared<RecordingDelivery>());
        const auto output = outputFrom(c.body.arg(FileDestination + QStringLiteral(R"(<destination type="printer"/><destination/>)")));
        if (c.photoOnly)
            output->setTemplates({{QStringLiteral("Photo"), templateNamed(QStringLiteral("Photo"), {100, 100}, true)}});
        const QString log = kova::test::loggedBy([&] { EXPECT_TRUE(run(output).empty()); });
        EXPECT_EQ(log.contains(QStringLiteral("ignoring attempt to rescale the output")), c.rescaleLogged);
        // A file and a printer destination each get the picture; one of no kind is passed over.
        ASSERT_EQ(delivery->pictures.size(), 2u);
        EXPECT_EQ(delivery->kinds, std::vector<Kind>(DeliveredKinds));
        const QImage& picture = delivery->pictures.front();
        EXPECT_EQ(picture.size(), c.size);
        for (const Probe& probe : c.probes)
            EXPECT_TRUE(near(picture.pixelColor(probe.x, probe.y), probe.color, 60))
                << probe.x << "," << probe.y << " " << picture.pixelColor(probe.x, probe.y).name(QColor::HexArgb).toStdString();
    }
}

TEST_F(KOVA_OutputTest, reportsWhatGoesWrong)
{
    const QString nUp = QStringLiteral(R"(<Photo type="node" frame="{{0, 0}, {10, 10}}"/><Blue type="node" frame="{{10, 0}, {10, 10}}"/>)");
    const struct {
        const char* name;
        QString xml;
        bool installed;
        std::vector<std::pair<qint64, QString>> reports;
        size_t delivered;
    } cases[] = {
        // The other nodes are still drawn.
        {"missing template", QStringLiteral(R"(<output size="{20, 10}"><Missing type="node"/>%1%2</output>)").arg(nUp, FileDestination), true,
         {{1, "no template found named Missing"}}, 1},
        {"n-up without size", QStringLiteral(R"(<output>%1%2</output>)").arg(nUp, FileDestination), true,
         {{-5, "to use N-UP output behavior you must specify an OUTPUT size"},
          {-5, "to use N-UP output behavior you must specify an OUTPUT size"},
          {1, "failed to generate output image"}}, 0},
        {"no delivery", QStringLiteral(R"(<output size="{20, 10}">%1%2</output>)").arg(nUp, FileDestination), false,
         {{-3, "no delivery for destination KOVA_Destination(filepath):/out"}}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        delivery->pictures.clear();
        KOVA_OutputDelivery::install(Kind::Filepath, c.installed ? delivery : nullptr);
        std::vector<Report> reports;
        const QString log = kova::test::loggedBy([&] { reports = run(outputFrom(c.xml)); });
        ASSERT_EQ(reports.size(), c.reports.size());
        for (size_t i = 0; i < reports.size(); ++i) {
            const auto& [success, error] = reports[i];
            const Error expected{c.installed ? Error::CocoaDomain : Error::POSIXDomain, c.reports[i].first, c.reports[i].second};
            EXPECT_FALSE(success);
            EXPECT_EQ(error.description(), expected.description());
            EXPECT_FALSE(log.contains(expected.description())) << "reported and logged: " << log.toStdString();
        }
        ASSERT_EQ(delivery->pictures.size(), c.delivered);
        if (c.delivered) {
            EXPECT_TRUE(near(delivery->pictures.front().pixelColor(15, 5), blue));
        }
    }
    // Without a completion nothing is reported, and processing takes the same course; the
    // failure is logged, as nobody else hears of it.
    const QString unreported = kova::test::loggedBy([&] { outputFrom(cases[1].xml)->processToCompletion(nullptr); });
    EXPECT_TRUE(unreported.contains(QStringLiteral("ERROR: ") + Error{Error::CocoaDomain, 1, "failed to generate output image"}.description()))
        << unreported.toStdString();
}

// Destinations that all ask for the original render nothing: files get a copy, printers nothing;
// without destinations nothing happens at all.
TEST_F(KOVA_OutputTest, originalsAreDeliveredWithoutRendering)
{
    const QString original = QStringLiteral("<saveoriginalfileasis>yes</saveoriginalfileasis>");
    const auto output = outputFrom(QStringLiteral(R"(<output><destination type="filepath"><filepath>/a</filepath>%1</destination>)"
                                                  R"(<destination type="printer">%1</destination></output>)").arg(original));
    output->setTemplates({});
    EXPECT_TRUE(run(output).empty());
    EXPECT_EQ(delivery->originals, std::vector<QString>({"/a"}));
    EXPECT_TRUE(delivery->pictures.empty());
    EXPECT_EQ(output->originalFilePath(), scratch.path(QStringLiteral("quadrants.png")));
    output->setAllImagesPath(QStringLiteral("/other.jpg"));
    EXPECT_EQ(output->originalFilePath(), "/other.jpg");

    const auto empty = outputFrom(QStringLiteral("<output/>"));
    EXPECT_TRUE(empty->ignoresTemplates());
    EXPECT_TRUE(run(empty).empty());
    EXPECT_TRUE(delivery->pictures.empty());
}

TEST_F(KOVA_OutputTest, readsAndWritesItsElement)
{
    const auto output = outputFrom(QStringLiteral(
        R"(<output NAME="Sheet" size="{200, 100}" width="400"><barcode type="qrcode" origin="{100, 25}"><message>M</message></barcode>)"
        R"(<Photo type="node" frame="{{0, 0}, {10, 10}}"/><Other type="layer"/><!-- c --><allimages>no</allimages>)"
        R"(<destination type="filepath"><filepath>/out</filepath></destination></output>)"));
    EXPECT_EQ(output->name(), "Sheet");
    EXPECT_EQ(output->size(), QSizeF(400, 100));
    EXPECT_EQ(output->nodeNames(), QStringList({"Photo"}));
    EXPECT_FALSE(output->allImages());
    // Attributes come first, so the code's corner is a fraction of the whole size.
    ASSERT_EQ(output->barcodes().size(), 1);
    EXPECT_EQ(output->barcodes().first().toMap().value("zorvak_2dCodeKey_origin"), "{0.25, 0.25}");

    EXPECT_EQ(output->asXMLElement().xmlString(),
              R"(<output size="{400, 100}"><Photo type="node"><frame>{{0, 0}, {10, 10}}</frame></Photo>)"
              R"(<whattoprint>all</whattoprint><destination type="filepath"><filepath>/out</filepath></destination></output>)");
    // One template and no node: the template's own element.
    const auto single = outputFrom(QStringLiteral("<output/>"));
    single->setTemplates({{QStringLiteral("Photo"), output->templates().value("Photo")}});
    EXPECT_EQ(single->asXMLElement().xmlString(), R"(<output><template id="Photo"/><whattoprint>all</whattoprint></output>)");
    // Written, an output always reads back as made for every image.
    EXPECT_TRUE(KOVA_Output::initWithNode(output->asXMLElement())->allImages());
    EXPECT_EQ(output->description(),
              "KOVA_Output {400, 100}\nnodes:(\n    Photo:(\n    \"{{0, 0}, {10, 10}}\"\n)\n) "
              "destinations:(\n    KOVA_Destination(filepath):/out\n)");

    const struct {
        const char* xml;
        QSizeF size;
        bool allImages;
    } cases[] = {
        {"<output size=\"{1e999, 5}\"><allimages/></output>", {0, 5}, true},
        {"<output height=\"nan\"><WhatToPrint>ALL</WhatToPrint></output>", {0, 0}, true},
        {"<output><allimages>yes</allimages></output>", {0, 0}, true},
        {"<output><whattoprint>some</whattoprint></output>", {0, 0}, false},
    };
    for (const auto& c : cases) {
        const auto read = KOVA_Output::initWithNode(kova::test::rootElement(c.xml));
        EXPECT_EQ(read->size(), c.size) << c.xml;
        EXPECT_EQ(read->allImages(), c.allImages) << c.xml;
    }
}

// A copy has its own templates, whose layers still reach the package's job and the copy's own
// image: an all-images copy shows its image, the original the job's.
TEST_F(KOVA_OutputTest, copyHasItsOwnTemplatesAndTheSamePackage)
{
    const auto output = outputFrom(CodedPhoto);
    const auto copy = output->copy();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->description(), output->description()); // size, nodes and destinations
    EXPECT_EQ(copy->barcodes(), output->barcodes());
    EXPECT_EQ(copy->package(), package);
    EXPECT_NE(copy->templates().value("Photo"), output->templates().value("Photo"));

    copy->setAllImagesPath(picture(QStringLiteral("green.png"), kova::test::solid(8, 8, green)));
    for (const auto& [runner, color] : {std::pair{copy, green}, std::pair{output, red}}) {
        delivery->pictures.clear();
        EXPECT_TRUE(run(runner).empty());
        ASSERT_EQ(delivery->pictures.size(), 1u);
        EXPECT_TRUE(near(delivery->pictures.front().pixelColor(10, 10), color));
    }
}

// Python's plistlib, a reader of its own, sees the class chains and keys of an output's archive.
TEST_F(KOVA_OutputTest, independentReaderSeesClassChainsAndKeys)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    const auto output = outputFrom(CodedPhoto);
    const QString script = kova::test::ArchiveReading + QStringLiteral(R"(
output = follow(archive['$top']['root'])
print(chain(output), ' '.join(sorted(k for k in output if k != '$class')))
for key in ('self.valuesDict', 'self.outputNodes_m', 'self.destinations_m', 'self.barcodes_m', 'self.templates'):
    print(key, chain(follow(output[key])))
templates = follow(output['self.templates'])
print(chain(follow(templates['NS.objects'][0])), output['self.width'], output['self.height'])
)");
    EXPECT_EQ(QString::fromUtf8(kova::test::runPython(script, platform::KeyedArchiver::archivedDataWithRootObject(*output))),
              "KOVA_Output,NSObject self.allImagesPath self.barcodes_m self.destinations_m self.height self.outputNodes_m "
              "self.templates self.valuesDict self.width\n"
              "self.valuesDict NSMutableDictionary,NSDictionary,NSObject\n"
              "self.outputNodes_m NSMutableArray,NSArray,NSObject\n"
              "self.destinations_m NSMutableArray,NSArray,NSObject\n"
              "self.barcodes_m NSMutableArray,NSArray,NSObject\n"
              "self.templates NSDictionary,NSObject\n"
              "KOVA_Template,KOVA_XML_object,NSObject 100.0 100.0\n");
}

// Outputs of one package share its templates; each holds a template from filling until its
// picture is taken.
TEST_F(KOVA_OutputTest, outputsSharingTemplatesRunAtOnce)
{
    const auto first = outputFrom(CodedPhoto);
    const auto second = outputFrom(CodedPhoto);
    second->setTemplates(first->templates());
    std::thread other([&] { EXPECT_TRUE(run(second).empty()); });
    EXPECT_TRUE(run(first).empty());
    other.join();
    ASSERT_EQ(delivery->pictures.size(), 2u);
    for (const QImage& picture : delivery->pictures)
        EXPECT_TRUE(near(picture.pixelColor(10, 10), red));
}

// Archives come from outside: codes that are no dictionaries and templates that are no
// templates stop the archive.
TEST(KOVA_OutputArchive, foreignArchivesAreChecked)
{
    for (const char* key : {"self.barcodes_m", "self.templates"}) {
        kova::test::FoundationArchive archive;
        const QVariant text = archive.plain(QStringLiteral("x"));
        const QVariant value = QString(key) == "self.barcodes_m" ? archive.array({text}) : archive.dictionary({{"Photo", text}});
        platform::Error error;
        const QVariant decoded = platform::KeyedUnarchiver::unarchivedObjectOfClasses(
            archive.data(archive.object(KOVA_Output::ClassName, {{key, value}})), KOVA_Output::archiveAllowedClasses(), &error);
        EXPECT_FALSE(platform::Archivable::fromVariant<KOVA_Output>(decoded)) << key;
        EXPECT_TRUE(error.message.contains(key)) << error.message.toStdString();
    }
}
