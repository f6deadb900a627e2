#include "template/KOVA_Template.h"

#include "../core/ImageTestPictures.h"
#include "FileFixtures.h"
#include "FixedTimeZone.h"
#include "platform/dispatch/WallClock.h"
#include "template/KOVA_EditableText.h"
#include "template/KOVA_TemplatePackage.h"
#include "template/KOVA_XML_Keys.h"

#include <QDir>
#include <QMap>
#include <QPainter>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using Pointer = KOVA_Template::Pointer;

// A job answering from tables keyed by "<package name>/<key>", as the job model finds
// its package descriptions by name or product code.
class FakeJob : public KOVA_TemplateJob {
public:
    QVariant valueForKey(const QString& key, const QString& packageName) const override
    {
        return values.value(entryName(packageName, key));
    }
    QVariant templateForKey(const QString& key, const QString& packageName) const override
    {
        return templates.value(entryName(packageName, key));
    }
    QVariant cropRectForKey(const QString& key, const QString& packageName) const override
    {
        return cropRects.value(entryName(packageName, key));
    }
    QVariant rotationForKey(const QString&, const QString&) const override { return {}; }
    QString graphicPath() const override { return picture; }

    static QString entryName(const QString& packageName, const QString& key)
    {
        return packageName + QLatin1Char('/') + key;
    }

    QVariantMap values, templates, cropRects;
    QString picture;
};

class FakePackage : public KOVA_XML_object, public KOVA_TemplatePackage {
public:
    QString packageName() const override { return name; }
    QString pluCode() const override { return code; }
    std::shared_ptr<KOVA_TemplateJob> job() const override { return fakeJob; }
    QUrl urlJobContainer() const override { return container; }

    QString name = QStringLiteral("Cards");
    QString code;
    std::shared_ptr<FakeJob> fakeJob = std::make_shared<FakeJob>();
    QUrl container;
};

Pointer layerOf(unsigned type, const QString& key)
{
    auto layer = KOVA_Template::initForCopy();
    layer->setLayerType(type);
    if (!key.isNull())
        layer->setKey(key);
    return layer;
}

Pointer stampLayer(const QString& key, const QString& text = {})
{
    auto layer = layerOf(KOVA_Template::layerTypeStamp, key);
    if (!text.isNull())
        layer->setValue(KOVA_XML_Key_string, text);
    return layer;
}

// A root template holding `layers`, in the order given.
Pointer templateWith(const KOVA_Template::List& layers)
{
    auto root = KOVA_Template::init();
    root->addLayers(layers);
    return root;
}

// Sets one of the operator's editable texts for a test and puts the earlier one back.
class ScopedEditableText {
public:
    ScopedEditableText(const QString& key, const std::optional<QString>& text)
        : m_key(key)
        , m_earlier(KOVA_EditableText::editableTextForKey(key))
    {
        KOVA_EditableText::setEditableText(text, key);
    }
    ~ScopedEditableText() { KOVA_EditableText::setEditableText(m_earlier, m_key); }

private:
    QString m_key;
    std::optional<QString> m_earlier;
};

// ---- Stamps ----

class StampTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QDateTime december8(QDate(2026, 12, 8), QTime(14, 5, 9));
        platform::WallClock::setNow([december8] { return december8; });
    }
    void TearDown() override
    {
        platform::WallClock::setNow(nullptr);
    }

    // What `layer` shows inside a template whose custom image is `picture`.
    static std::optional<QString> shownWithPicture(const Pointer& layer, const QString& picture)
    {
        const auto root = templateWith({layer});
        root->setFilepathCustomImage(picture);
        return layer->stampValue();
    }

    FixedTimeZone zone{"America/New_York", "en_US"};
};

TEST_F(StampTest, FileNamePartsArePickedByTheLetterAfterTheLowerCasePrefix)
{
    const QString picture = QStringLiteral("/orders/IMG_0042_smith_A4.jpg");
    const QMap<QString, QString> expected{
        {QStringLiteral("customfilenamepartA"), QStringLiteral("IMG")},
        {QStringLiteral("customfilenameparta"), QStringLiteral("IMG")},
        {QStringLiteral("customfilenamepartb"), QStringLiteral("0042")},
        {QStringLiteral("CustomFilenamePartA"), QString()}, // the prefix is only removed as written
        {QStringLiteral("customfilenamepartd"), QStringLiteral("A4")},
        {QStringLiteral("customfilenameparte"), QString()}, // a fifth part the name lacks
        {QStringLiteral("customfilenamepartab"), QString()},
        {QStringLiteral("customfilenamepart"), QString()},
    };
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const auto shown = shownWithPicture(stampLayer(it.key()), picture);
        ASSERT_TRUE(shown.has_value()) << it.key().toStdString();
        EXPECT_EQ(*shown, it.value()) << it.key().toStdString();
    }
    EXPECT_EQ(shownWithPicture(stampLayer(QStringLiteral("customfilenamepartA")), {}), QString());
}

TEST_F(StampTest, FileNameComesFromTheCustomImageElseTheJobsPicture)
{
    auto layer = stampLayer(QStringLiteral("FileName"));
    layer->setValue(KOVA_XML_Key_hideExtension, QStringLiteral("yes"));
    EXPECT_EQ(shownWithPicture(layer, QStringLiteral("/orders/photo.final.jpg")), QStringLiteral("photo.final"));

    const auto package = std::make_shared<FakePackage>();
    package->fakeJob->picture = QStringLiteral("/jobs/.hidden");
    auto plain = stampLayer(KOVA_XML_Key_filename);
    const auto root = templateWith({plain});
    root->setPackage(package);
    plain->setValue(KOVA_XML_Key_hideExtension, QStringLiteral("yes"));
    EXPECT_EQ(plain->stampValue(), QStringLiteral(".hidden")); // a leading dot is no extension
    package->fakeJob->picture = QStringLiteral("/jobs/order 7/kids.png");
    plain->setValue(KOVA_XML_Key_hideExtension, QStringLiteral("no"));
    EXPECT_EQ(plain->stampValue(), QStringLiteral("kids.png"));

    // Neither a custom image nor a job: nothing to show.
    EXPECT_FALSE(stampLayer(KOVA_XML_Key_filename)->stampValue().has_value());
}

TEST_F(StampTest, DateFormatNamesSelectPatternsOtherTextsShowAsTheyStand)
{
    EXPECT_EQ(stampLayer(QStringLiteral("date"), QStringLiteral("abrevDate"))->stampValue(),
              QStringLiteral("Tue, Dec 8, 2026"));
    EXPECT_EQ(stampLayer(QStringLiteral("Date"), QStringLiteral("longDate"))->stampValue(),
              QStringLiteral("Tuesday, December 8, 2026"));
    EXPECT_EQ(stampLayer(QStringLiteral("DATE"), QStringLiteral("shortDate"))->stampValue(),
              QStringLiteral("12-08-2026"));
    EXPECT_EQ(stampLayer(QStringLiteral("date"), QStringLiteral("custom"))->stampValue(), QStringLiteral("custom"));
    EXPECT_EQ(stampLayer(QStringLiteral("date"), QStringLiteral("ShortDate"))->stampValue(), QStringLiteral("ShortDate"));
    EXPECT_FALSE(stampLayer(QStringLiteral("date"))->stampValue().has_value());
    EXPECT_EQ(stampLayer(QStringLiteral("Time"))->stampValue(), QStringLiteral("2:05:09 PM"));

    FixedTimeZone::setLocale(icu::Locale("de_DE"));
    EXPECT_EQ(stampLayer(QStringLiteral("date"), QStringLiteral("longDate"))->stampValue(),
              QStringLiteral("Dienstag, Dezember 8, 2026"));
}

TEST_F(StampTest, EditableTextByStampNumberThenByTheOlderKey)
{
    auto numbered = [](const QVariant& number) {
        auto layer = stampLayer(QStringLiteral("EditTextBox"));
        layer->setValue(KOVA_XML_Key_stamp, number);
        return layer;
    };
    const ScopedEditableText three(QStringLiteral("3"), QStringLiteral("editable text 3"));
    const ScopedEditableText seven(QStringLiteral("7"), std::nullopt);
    const ScopedEditableText olderSeven(QStringLiteral("text 7"), QStringLiteral("older text 7"));
    const ScopedEditableText nine(QStringLiteral("9"), std::nullopt);
    EXPECT_EQ(numbered(3)->stampValue(), QStringLiteral("editable text 3"));
    EXPECT_EQ(numbered(QStringLiteral("3"))->stampValue(), QStringLiteral("editable text 3"));
    EXPECT_EQ(numbered(7)->stampValue(), QStringLiteral("older text 7"));
    EXPECT_FALSE(numbered(9)->stampValue().has_value());
}

TEST_F(StampTest, PackageNameElseTheKeyAndOtherKeysShowTheirTextElseTheKey)
{
    auto name = stampLayer(QStringLiteral("PackageName"), QStringLiteral("ignored"));
    EXPECT_EQ(name->stampValue(), QStringLiteral("PackageName"));
    const auto package = std::make_shared<FakePackage>();
    package->name = QStringLiteral("Holiday cards");
    const auto root = templateWith({name});
    root->setPackage(package);
    EXPECT_EQ(name->stampValue(), QStringLiteral("Holiday cards"));

    EXPECT_EQ(stampLayer(QStringLiteral("greeting"), QStringLiteral("Hello"))->stampValue(), QStringLiteral("Hello"));
    EXPECT_EQ(stampLayer(QStringLiteral("greeting"))->stampValue(), QStringLiteral("greeting"));
    EXPECT_EQ(stampLayer(QString(), QStringLiteral("Hello"))->stampValue(), QStringLiteral("Hello"));
    EXPECT_FALSE(stampLayer(QString())->stampValue().has_value());
}

// Stamps render on many queues while the operator edits the texts.
TEST_F(StampTest, EditableTextsAreReadWhileTheyChange)
{
    const QStringList texts{QStringLiteral("one"), QStringLiteral("uno")};
    const ScopedEditableText first(QStringLiteral("1"), texts.first());
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            auto layer = stampLayer(KOVA_XML_Key_layerTypeEditText);
            layer->setValue(KOVA_XML_Key_stamp, 1);
            while (!stop) {
                if (!texts.contains(layer->stampValue().value_or(QString())))
                    ++wrong;
            }
        });
    }
    for (int i = 0; i < 200; ++i)
        KOVA_EditableText::setEditableText(texts.at(i % 2), QStringLiteral("1"));
    stop = true;
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(wrong, 0);
}

// ---- Filling from a job ----

class FillTest : public ::testing::Test {
protected:
    void SetUp() override { root->setPackage(package); }

    FakeJob& job() { return *package->fakeJob; }
    // Stores a job table entry for the package named `packageName`.
    static void put(QVariantMap& table, const QString& packageName, const QString& key, const QVariant& value)
    {
        table.insert(FakeJob::entryName(packageName, key), value);
    }

    std::shared_ptr<FakePackage> package = std::make_shared<FakePackage>();
    Pointer root = KOVA_Template::init();
};

TEST_F(FillTest, KeyedPictureLayersTakeTheJobsPictureAndCrop)
{
    package->code = QStringLiteral("PLU42");
    put(job().values, QStringLiteral("PLU42"), QStringLiteral("image1"), QStringLiteral("/jobs/beach.jpg"));
    put(job().cropRects, QStringLiteral("Cards"), QStringLiteral("image1"), QStringLiteral("{{10, 20}, {300, 400}}"));
    auto image = layerOf(KOVA_Template::layerTypeImage, QStringLiteral("image1"));
    image->setGraphicPath(QStringLiteral("placeholder.jpg"));
    auto graphic = layerOf(KOVA_Template::layerTypeGraphic, QStringLiteral("image1"));
    auto unkeyed = layerOf(KOVA_Template::layerTypeImage, QString());
    unkeyed->setGraphicPath(QStringLiteral("frame.png"));
    root->addLayers({image, graphic, unkeyed});

    root->replaceKeyValues();

    for (const auto& filled : {image, graphic}) {
        EXPECT_EQ(filled->graphicPath(), QStringLiteral("/jobs/beach.jpg"));
        EXPECT_EQ(filled->value(KOVA_XML_Key_croprect), QStringLiteral("{{10, 20}, {300, 400}}"));
    }
    EXPECT_EQ(unkeyed->graphicPath(), QStringLiteral("frame.png"));
    EXPECT_FALSE(unkeyed->hasCropRect());

    // A custom image stands in for the job's picture.
    root->setFilepathCustomImage(QStringLiteral("/custom/portrait.jpg"));
    root->replaceKeyValues();
    EXPECT_EQ(image->graphicPath(), QStringLiteral("/custom/portrait.jpg"));
}

TEST_F(FillTest, EmptyCropRectanglesAreNotApplied)
{
    auto zeroWidth = layerOf(KOVA_Template::layerTypeImage, QStringLiteral("image1"));
    zeroWidth->setValue(KOVA_XML_Key_croprect, QStringLiteral("{{0, 0}, {50, 50}}"));
    auto zeroHeight = layerOf(KOVA_Template::layerTypeImage, QStringLiteral("image2"));
    root->addLayers({zeroWidth, zeroHeight});
    put(job().cropRects, package->name, QStringLiteral("image1"), QStringLiteral("{{10, 10}, {0, 400}}"));
    put(job().cropRects, package->name, QStringLiteral("image2"), QStringLiteral("{{10, 10}, {400, 0}}"));

    root->replaceKeyValues();

    EXPECT_EQ(zeroWidth->value(KOVA_XML_Key_croprect), QStringLiteral("{{0, 0}, {50, 50}}"));
    EXPECT_FALSE(zeroHeight->hasCropRect());
}

TEST_F(FillTest, TextboxesTakeTheJobsTextAndKeepTheirOwnWithoutOne)
{
    auto caption = layerOf(KOVA_Template::layerTypeTextbox, QStringLiteral("caption"));
    caption->setStringValue(QStringLiteral("Happy holidays"));
    auto name = layerOf(KOVA_Template::layerTypeTextbox, QStringLiteral("name"));
    auto stamp = layerOf(KOVA_Template::layerTypeStamp, QStringLiteral("name"));
    stamp->setStringValue(QStringLiteral("stamp text"));
    root->addLayers({caption, name, stamp});
    put(job().values, package->name, QStringLiteral("name"), QStringLiteral("The Smiths"));

    root->replaceKeyValues();

    EXPECT_EQ(caption->stringValue(), QStringLiteral("Happy holidays"));
    EXPECT_EQ(name->stringValue(), QStringLiteral("The Smiths"));
    EXPECT_EQ(stamp->stringValue(), QStringLiteral("stamp text")); // stamps compute their text when drawn
}

TEST_F(FillTest, WithoutPackageOrJobLayersKeepTheirValues)
{
    auto image = layerOf(KOVA_Template::layerTypeImage, QStringLiteral("image1"));
    image->setGraphicPath(QStringLiteral("placeholder.jpg"));
    auto caption = layerOf(KOVA_Template::layerTypeTextbox, QStringLiteral("caption"));
    caption->setStringValue(QStringLiteral("Happy holidays"));
    root->addLayers({image, caption});
    const Pointer before = root->copy();

    package->fakeJob = nullptr;
    root->replaceKeyValues();
    EXPECT_TRUE(root->isEqual(before.get()));

    root->setPackage(nullptr);
    root->replaceKeyValues();
    EXPECT_TRUE(root->isEqual(before.get()));
}

TEST_F(FillTest, ContainersAreFilledRecursivelyWithThePackageAndCustomImage)
{
    auto inner = layerOf(KOVA_Template::layerTypeTextbox, QStringLiteral("caption"));
    auto innerContainer = layerOf(KOVA_Template::layerTypeContainer, QString());
    innerContainer->addLayer(inner);
    auto image = layerOf(KOVA_Template::layerTypeImage, QStringLiteral("image1"));
    auto container = layerOf(KOVA_Template::layerTypeContainer, QString());
    container->addLayers({image, innerContainer});
    root->addLayer(container);
    root->setFilepathCustomImage(QStringLiteral("/custom/portrait.jpg"));
    put(job().values, package->name, QStringLiteral("caption"), QStringLiteral("Merry"));
    put(job().values, package->name, QStringLiteral("image1"), QStringLiteral("/jobs/beach.jpg"));

    root->replaceKeyValues();

    EXPECT_EQ(inner->stringValue(), QStringLiteral("Merry"));
    EXPECT_EQ(image->graphicPath(), QStringLiteral("/custom/portrait.jpg"));
    EXPECT_EQ(container->value(KOVA_XML_Key_allImages), QStringLiteral("/custom/portrait.jpg"));
    EXPECT_EQ(innerContainer->package(), package);
}

TEST_F(FillTest, SubTemplateThatDoesNotLoadLeavesTheLayerAlone)
{
    auto image = layerOf(KOVA_Template::layerTypeImage, QStringLiteral("image1"));
    image->setGraphicPath(QStringLiteral("placeholder.jpg"));
    root->addLayer(image);
    put(job().values, package->name, QStringLiteral("image1"), QStringLiteral("/jobs/beach.jpg"));
    put(job().templates, package->name, QStringLiteral("image1"), QStringLiteral("no-such-sub-template.xml"));
    put(job().cropRects, package->name, QStringLiteral("image1"), QStringLiteral("{{10, 20}, {300, 400}}"));

    root->replaceKeyValues();

    EXPECT_EQ(image->graphicPath(), QStringLiteral("placeholder.jpg"));
    EXPECT_FALSE(image->hasCropRect());
}

TEST_F(FillTest, SubTemplateNamedByTheJobIsPreRenderedWithTheLayersPictureAndCrop)
{
    const kova::test::ScratchFolder bundle;
    ASSERT_TRUE(QDir(bundle.path()).mkpath(QStringLiteral("Templates")));
    QImage picture = kova::test::solid(200, 100, kova::test::red);
    QPainter(&picture).fillRect(100, 0, 100, 100, kova::test::blue);
    const QString picturePath = bundle.path(QStringLiteral("photo.png"));
    ASSERT_TRUE(kova::test::writeFile(picturePath, kova::test::encoded(picture, "PNG")));
    // The sub-template shows its own keyed picture over the whole canvas.
    ASSERT_TRUE(kova::test::writeFile(
        bundle.path(QStringLiteral("Templates/framed.xml")),
        "<data version=\"1.0\"><layout size=\"{200, 100}\">"
        "<layer type=\"image\" frame=\"{{0, 0}, {200, 100}}\" zindex=\"1\">"
        "<key>inner</key><filepath>placeholder.jpg</filepath><gravity>resize</gravity></layer>"
        "</layout></data>"));
    package->container = QUrl::fromLocalFile(bundle.path());
    put(job().values, package->name, QStringLiteral("image1"), picturePath);
    put(job().templates, package->name, QStringLiteral("image1"), QStringLiteral("framed.xml"));
    put(job().cropRects, package->name, QStringLiteral("image1"), QStringLiteral("{{100, 0}, {100, 100}}"));
    auto image = layerOf(KOVA_Template::layerTypeImage, QStringLiteral("image1"));
    image->setGraphicPath(QStringLiteral("placeholder.jpg"));
    root->addLayer(image);

    root->replaceKeyValues();

    const QImage rendered = image->value(KOVA_XML_Key_filepath).value<QImage>();
    ASSERT_EQ(rendered.size(), QSize(200, 100));
    // The crop picked the blue half of the picture, drawn over the whole sub-template.
    EXPECT_TRUE(kova::test::near(kova::test::probe(rendered, 20, 50), kova::test::blue));
    EXPECT_TRUE(kova::test::near(kova::test::probe(rendered, 180, 50), kova::test::blue));
    EXPECT_EQ(image->name(), QStringLiteral("Internal Preprocessed Template Image"));
}

// Inside a sub-template being pre-rendered, keyed pictures take what it was made for.
TEST_F(FillTest, PreprocessRecordGivesPictureCropAndRotation)
{
    auto image = layerOf(KOVA_Template::layerTypeImage, QStringLiteral("image1"));
    image->setValue(KOVA_XML_Key_croprect, QStringLiteral("{{1, 1}, {2, 2}}"));
    image->setRotation(0.5);
    root->addLayer(image);
    root->setPackage(nullptr);
    root->setValue(KOVA_XML_Key_preprocess,
                   QVariantMap{{KOVA_XML_Key_filepath, QStringLiteral("/jobs/beach.jpg")},
                               {KOVA_XML_Key_rotation, QStringLiteral("1.5")}});

    root->replaceKeyValues();

    EXPECT_EQ(image->graphicPath(), QStringLiteral("/jobs/beach.jpg"));
    EXPECT_FALSE(image->hasCropRect());
    EXPECT_FALSE(image->autorotate());
    EXPECT_EQ(image->rotation(), 1.5);
}

TEST_F(FillTest, ReplaceImagesPutsTheFirstImageAndCropIntoEveryImageLayer)
{
    auto image = layerOf(KOVA_Template::layerTypeImage, QString());
    auto graphic = layerOf(KOVA_Template::layerTypeGraphic, QString());
    graphic->setGraphicPath(QStringLiteral("frame.png"));
    auto nested = layerOf(KOVA_Template::layerTypeImage, QString());
    nested->setValue(KOVA_XML_Key_croprect, QStringLiteral("{{1, 1}, {2, 2}}"));
    auto container = layerOf(KOVA_Template::layerTypeContainer, QString());
    container->addLayer(nested);
    root->addLayers({image, graphic, container});
    const QList<QUrl> images{QUrl::fromLocalFile(QStringLiteral("/orders/first photo.jpg")),
                             QUrl::fromLocalFile(QStringLiteral("/orders/second.jpg"))};

    root->replaceImages(images, {QStringLiteral("{{0, 0}, {0.5, 0.5}}"), QStringLiteral("{{0, 0}, {1, 1}}")});

    EXPECT_EQ(root->filepathCustomImage(), QStringLiteral("/orders/first photo.jpg"));
    for (const auto& filled : {image, nested}) {
        EXPECT_EQ(filled->graphicPath(), QStringLiteral("/orders/first photo.jpg"));
        EXPECT_EQ(filled->value(KOVA_XML_Key_croprect), QStringLiteral("{{0, 0}, {0.5, 0.5}}"));
        EXPECT_FALSE(filled->autorotate());
    }
    EXPECT_EQ(graphic->graphicPath(), QStringLiteral("frame.png"));

    root->replaceImages(images, {});
    EXPECT_FALSE(image->hasCropRect());
    EXPECT_FALSE(nested->hasCropRect());
}

} // namespace
