#include "template/KOVA_ProductImageComposer.h"

#include "../core/ImageTestPictures.h"
#include "BundleLinks.h"
#include "FileFixtures.h"
#include "HostileFiles.h"
#include "TestEnvironment.h"
#include "core/image/ZORVAK_Image.h"
#include "platform/text/GeometryText.h"
#include "template/KOVA_TemplatePackage.h"
#include "template/KOVA_XML_Keys.h"

#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <latch>
#include <numbers>
#include <optional>

namespace {

using kova::test::blue;
using kova::test::green;
using kova::test::near;
using kova::test::probe;
using kova::test::red;
using kova::test::yellow;

const QColor transparent(0, 0, 0, 0);
const QColor white(255, 255, 255);
const QColor black(0, 0, 0);

// A package that names a job container, as the workflow's packages do.
class JobPackage : public KOVA_XML_object, public KOVA_TemplatePackage {
public:
    explicit JobPackage(QUrl container) : m_container(std::move(container)) {}
    QString packageName() const override { return QStringLiteral("Prints"); }
    QString pluCode() const override { return {}; }
    std::shared_ptr<KOVA_TemplateJob> job() const override { return nullptr; }
    QUrl urlJobContainer() const override { return m_container; }

private:
    QUrl m_container;
};

// Templates built in code, with their pictures written into a scratch folder.
class KOVA_ProductImageComposerTest : public ::testing::Test {
protected:
    // A root of `size` with no background.
    static KOVA_Template::Pointer rootOfSize(const QSizeF& size)
    {
        auto root = KOVA_Template::init();
        root->setFrame(QRectF(QPointF(0, 0), size));
        return root;
    }

    static KOVA_Template::Pointer addLayer(const KOVA_Template::Pointer& parent, unsigned type, const QRectF& frame)
    {
        auto layer = KOVA_Template::initForCopy();
        layer->setLayerType(type);
        layer->setFrame(frame);
        layer->setGravity(QStringLiteral("resize"));
        parent->addLayer(layer);
        return layer;
    }

    // An image layer showing the picture saved as `name`.
    KOVA_Template::Pointer addPicture(const KOVA_Template::Pointer& parent, const QRectF& frame, const QImage& picture,
                                      const QString& name = QStringLiteral("picture.png"))
    {
        auto layer = addLayer(parent, KOVA_Template::layerTypeImage, frame);
        layer->setGraphicPath(save(name, picture));
        return layer;
    }

    QString save(const QString& name, const QImage& picture)
    {
        return write(name, kova::test::encoded(picture, name.endsWith(QStringLiteral(".png")) ? "PNG" : "JPEG"));
    }

    QString write(const QString& relative, const QByteArray& bytes)
    {
        const QString path = scratch.path(relative);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(kova::test::writeFile(path, bytes));
        return path;
    }

    // Renders in preview mode, with or without the layers' rotation.
    static QImage preview(const KOVA_Template::Pointer& root, bool unrotated = false)
    {
        QImage rendered;
        bool done = false;
        root->getUnrotated(unrotated, [&](const QImage& image) {
            rendered = image;
            done = true;
        });
        EXPECT_TRUE(kova::test::waitUntil([&] { return done; }));
        return rendered;
    }

    // Top half `top`, bottom half `bottom`, as stored.
    static QImage halves(int width, int height, const QColor& top, const QColor& bottom)
    {
        QImage image = kova::test::solid(width, height, bottom);
        QPainter(&image).fillRect(0, 0, width, height / 2, top);
        return image;
    }

    // A card with a layer for each thing the options change: a bordered, turned photo,
    // a text, a photo whose file is missing and a container holding another.
    KOVA_Template::Pointer card()
    {
        auto root = rootOfSize({240, 160});
        auto photo = addPicture(root, {10, 10, 100, 60}, halves(20, 10, red, blue));
        photo->setRotation(90);
        photo->setHasBorder(true);
        photo->setBorderWidth(6);
        auto text = addLayer(root, KOVA_Template::layerTypeTextbox, {10, 80, 100, 30});
        text->setStringValue(QStringLiteral("Kova"));
        text->setFontSize(QStringLiteral("24"));
        const QString missing = scratch.path(QStringLiteral("missing.png"));
        addLayer(root, KOVA_Template::layerTypeImage, {120, 10, 100, 60})->setGraphicPath(missing);
        auto container = addLayer(root, KOVA_Template::layerTypeContainer, {120, 80, 100, 60});
        addLayer(container, KOVA_Template::layerTypeImage, {0, 0, 50, 50})->setGraphicPath(missing);
        return root;
    }

    kova::test::ScratchFolder scratch;
};

TEST_F(KOVA_ProductImageComposerTest, LayersArePlacedInBottomLeftCanvasGeometry)
{
    auto root = rootOfSize({800, 1000});
    addPicture(root, {100, 100, 300, 200}, kova::test::solid(30, 20, red));

    const QImage canvas = root->imageUncached();
    ASSERT_EQ(canvas.size(), QSize(800, 1000));
    EXPECT_EQ(canvas.format(), QImage::Format_RGBA8888_Premultiplied);
    // Layer y 100, height 200 on a canvas 1000 high: from 700 to 900 above the bottom.
    EXPECT_TRUE(near(probe(canvas, 105, 705), red));
    EXPECT_TRUE(near(probe(canvas, 395, 895), red));
    EXPECT_EQ(probe(canvas, 250, 690), transparent);
    EXPECT_EQ(probe(canvas, 250, 910), transparent);
    EXPECT_EQ(probe(canvas, 90, 800), transparent);
    EXPECT_EQ(probe(canvas, 410, 800), transparent);
}

TEST_F(KOVA_ProductImageComposerTest, TemplateWithoutLayersIsDrawnAsItsOwnLayer)
{
    auto picture = rootOfSize({300, 200});
    picture->setLayerType(KOVA_Template::layerTypeImage);
    picture->setGravity(QStringLiteral("resize"));
    picture->setGraphicPath(save(QStringLiteral("whole.png"), kova::test::solid(10, 10, green)));
    const QImage drawn = picture->imageUncached();
    EXPECT_TRUE(near(probe(drawn, 1, 1), green));
    EXPECT_TRUE(near(probe(drawn, 298, 198), green));

    auto container = rootOfSize({300, 200});
    container->setLayerType(KOVA_Template::layerTypeContainer);
    EXPECT_EQ(probe(container->imageUncached(), 150, 100), transparent);
    container->setValue(KOVA_XML_Key_backgroundEnabled, stringForBOOL(true));
    EXPECT_TRUE(near(probe(container->imageUncached(), 150, 100), white));
}

// A caller finding pictures its own way: only the layers it gives a picture for are drawn,
// each at its layer's frame with the options it gives, on a canvas left transparent even
// under a template with a background; the template itself is never drawn.
TEST_F(KOVA_ProductImageComposerTest, LayersComposedFromAnotherSourceAreDrawnAsThatSourceSays)
{
    QImage clearAboveRed = kova::test::solid(10, 10, transparent);
    QPainter(&clearAboveRed).fillRect(0, 5, 10, 5, red);
    const auto pictures = [&](const KOVA_Template& layer) -> KOVA_ProductImageComposer::LayerPicture {
        if (layer.layerType() != KOVA_Template::layerTypeStamp)
            return {};
        KOVA_DrawingOptions options;
        options.gravity = QStringLiteral("resize");
        options.backgroundColorCode = QStringLiteral("0000FF");
        return {std::make_shared<ZORVAK_Image>(clearAboveRed, std::nullopt), options};
    };
    auto root = rootOfSize({200, 100});
    root->setValue(KOVA_XML_Key_backgroundEnabled, stringForBOOL(true));
    addLayer(root, KOVA_Template::layerTypeStamp, {0, 0, 100, 50});
    addLayer(root, KOVA_Template::layerTypeTextbox, {100, 0, 100, 100})->setStringValue(QStringLiteral("Kova"));
    const QImage composed = KOVA_ProductImageComposer(*root, {}).composeLayers(pictures);
    ASSERT_EQ(composed.size(), QSize(200, 100));
    EXPECT_TRUE(near(probe(composed, 50, 90), blue));
    EXPECT_TRUE(near(probe(composed, 50, 60), red));
    EXPECT_EQ(probe(composed, 50, 25), transparent);
    EXPECT_EQ(probe(composed, 150, 75), transparent);

    auto alone = rootOfSize({20, 20});
    alone->setLayerType(KOVA_Template::layerTypeStamp);
    EXPECT_EQ(probe(KOVA_ProductImageComposer(*alone, {}).composeLayers(pictures), 10, 10), transparent);
    EXPECT_TRUE(KOVA_ProductImageComposer(*rootOfSize({0, 20}), {}).composeLayers(pictures).isNull());
}

// Pictures decode ahead of drawing, several at once, yet are drawn in z order:
// each layer covers the one below it, also beyond the number decoded at a time.
TEST_F(KOVA_ProductImageComposerTest, LayersDecodedAheadAreDrawnInZOrder)
{
    const int count = QThread::idealThreadCount() + 4;
    auto root = rootOfSize({20.0 * count + 40, 100});
    QList<QColor> colors;
    for (int index = 0; index < count; ++index) {
        colors.append(QColor::fromHsv(index * 360 / count, 255, 255));
        // Large pictures drawn small, so they are decoded at reduced size.
        auto layer = addPicture(root, {20.0 * index, 0, 60, 100}, kova::test::solid(600, 1000, colors.last()),
                                QStringLiteral("layer%1.jpeg").arg(index));
        layer->setZLevelString(QString::number(100 * (index + 1)));
    }
    const QImage canvas = root->imageUncached();
    for (int index = 0; index < count; ++index)
        EXPECT_TRUE(near(probe(canvas, 20 * index + 10, 50), colors.at(index))) << index;
    EXPECT_TRUE(near(probe(canvas, 20 * count + 30, 50), colors.last()));
}

// The container's canvas is its own: its background starts at (0, 0) whatever its
// place in the parent, and its layers are placed inside it.
TEST_F(KOVA_ProductImageComposerTest, ContainerIsComposedOnItsOwnCanvas)
{
    auto root = rootOfSize({1000, 1000});
    auto container = addLayer(root, KOVA_Template::layerTypeContainer, {500, 500, 400, 400});
    container->setValue(KOVA_XML_Key_backgroundEnabled, stringForBOOL(true));
    // The layer's own background, drawn under the container's picture, must not show.
    container->setValue(KOVA_XML_Key_backgroundColor, QStringLiteral("#00FF00"));
    addPicture(container, {0, 0, 100, 100}, kova::test::solid(10, 10, red));

    const QImage canvas = root->imageUncached();
    EXPECT_TRUE(near(probe(canvas, 550, 450), red)); // container at (500, 500), its layer at its top left
    EXPECT_TRUE(near(probe(canvas, 850, 150), white));
    EXPECT_TRUE(near(probe(canvas, 650, 250), white));
    EXPECT_EQ(probe(canvas, 450, 450), transparent);
}

TEST_F(KOVA_ProductImageComposerTest, CropRectangleSelectsPartOfThePicture)
{
    auto root = rootOfSize({200, 100});
    QImage picture = kova::test::solid(200, 100, red);
    QPainter(&picture).fillRect(100, 0, 100, 100, blue);
    auto layer = addPicture(root, {0, 0, 200, 100}, picture);

    layer->setValue(KOVA_XML_Key_croprect, platform::GeometryText::stringFromRect({100, 0, 100, 100}));
    EXPECT_TRUE(near(probe(root->imageUncached(), 20, 50), blue));

    layer->setValue(KOVA_XML_Key_croprect, platform::GeometryText::stringFromRect({0, 0, 0.5, 1}));
    layer->setValue(KOVA_XML_Key_normal, QStringLiteral("yes"));
    const QImage normalized = root->imageUncached();
    EXPECT_TRUE(near(probe(normalized, 20, 50), red));
    EXPECT_TRUE(near(probe(normalized, 180, 50), red));

    layer->setValue(KOVA_XML_Key_croprect, platform::GeometryText::stringFromRect({}));
    const QImage whole = root->imageUncached();
    EXPECT_TRUE(near(probe(whole, 20, 50), red));
    EXPECT_TRUE(near(probe(whole, 180, 50), blue));
}

TEST_F(KOVA_ProductImageComposerTest, RotationTurnsClockwiseExceptInUnrotatedMode)
{
    auto root = rootOfSize({300, 300});
    auto layer = addPicture(root, {50, 50, 200, 200}, halves(100, 100, red, blue));
    layer->setRotation(std::numbers::pi / 2);
    layer->setHasBorder(true);
    layer->setBorderColorCode(QStringLiteral("#00FF00"));
    layer->setBorderWidth(10);
    layer->setBorderClipsContent(true);

    const QImage rotated = root->imageUncached();
    EXPECT_TRUE(near(probe(rotated, 220, 150), red)); // the top went right
    EXPECT_TRUE(near(probe(rotated, 80, 150), blue));

    const QImage unrotated = preview(root, true);
    EXPECT_TRUE(near(probe(unrotated, 150, 220), red));
    EXPECT_TRUE(near(probe(unrotated, 150, 80), blue));
    EXPECT_TRUE(near(probe(unrotated, 150, 245), green)); // the border still applies

    EXPECT_TRUE(near(probe(preview(root), 220, 150), red));
}

TEST_F(KOVA_ProductImageComposerTest, AutorotationRunsThePictureAlongTheLayer)
{
    auto root = rootOfSize({600, 400});
    const QImage portrait = halves(400, 600, red, blue);
    auto layer = addPicture(root, {0, 0, 600, 400}, portrait, QStringLiteral("upright.png"));

    // An upright portrait picture in a landscape layer is turned a quarter clockwise.
    const QImage turned = root->imageUncached();
    EXPECT_TRUE(near(probe(turned, 500, 200), red));
    EXPECT_TRUE(near(probe(turned, 100, 200), blue));

    layer->setAutorotate(false);
    const QImage stretched = root->imageUncached();
    EXPECT_TRUE(near(probe(stretched, 300, 350), red));
    EXPECT_TRUE(near(probe(stretched, 300, 50), blue));

    // Stored portrait with orientation 6 is landscape already: drawn as its metadata says.
    layer->setAutorotate(true);
    layer->setGraphicPath(write(QStringLiteral("turned.jpg"), kova::test::jpegWithOrientation(portrait, 6)));
    const QImage oriented = root->imageUncached();
    EXPECT_TRUE(near(probe(oriented, 500, 200), red));
    EXPECT_TRUE(near(probe(oriented, 100, 200), blue));

    // A square layer counts as not wider than high: a landscape picture is turned.
    auto square = rootOfSize({300, 300});
    QImage landscape = kova::test::solid(600, 400, blue);
    QPainter(&landscape).fillRect(0, 0, 300, 400, red);
    addPicture(square, {0, 0, 300, 300}, landscape, QStringLiteral("landscape.png"));
    const QImage squared = square->imageUncached();
    EXPECT_TRUE(near(probe(squared, 150, 250), red)); // the left went up
    EXPECT_TRUE(near(probe(squared, 150, 50), blue));
}

TEST_F(KOVA_ProductImageComposerTest, BorderAndShadowFollowTheLayer)
{
    auto root = rootOfSize({400, 400});
    auto layer = addPicture(root, {100, 100, 200, 200}, kova::test::solid(10, 10, red));
    layer->setHasBorder(true);
    layer->setBorderColorCode(QStringLiteral("#00FF00"));
    layer->setBorderWidth(10);
    layer->setBorderClipsContent(true);
    layer->setShadowColorCode(QStringLiteral("#000000FF"));
    layer->setShadowBlur(0);
    layer->setShadowOffsetX(20);
    layer->setShadowOffsetY(20);
    layer->setHasShadow(true);

    const QImage canvas = root->imageUncached();
    EXPECT_TRUE(near(probe(canvas, 105, 200), green));
    EXPECT_TRUE(near(probe(canvas, 200, 295), green));
    EXPECT_TRUE(near(probe(canvas, 200, 200), red));
    // The offset is right and down in the layer's geometry.
    EXPECT_TRUE(near(probe(canvas, 310, 150), black));
    EXPECT_TRUE(near(probe(canvas, 200, 90), black));
    EXPECT_EQ(probe(canvas, 90, 200), transparent);
    EXPECT_EQ(probe(canvas, 200, 310), transparent);

    layer->setHasBorder(false);
    layer->setHasShadow(false);
    const QImage plain = root->imageUncached();
    EXPECT_TRUE(near(probe(plain, 105, 200), red));
    EXPECT_EQ(probe(plain, 310, 150), transparent);
}

// Text layers draw their text, stamp layers (and text layers without text) the text
// their stamp gives.
TEST_F(KOVA_ProductImageComposerTest, TextIsDrawnInsideItsLayer)
{
    auto root = rootOfSize({800, 800});
    auto text = addLayer(root, KOVA_Template::layerTypeTextbox, {100, 100, 600, 200});
    text->setStringValue(QStringLiteral("KOVA KOVA"));
    text->setFontSize(QStringLiteral("120"));
    auto stamp = addLayer(root, KOVA_Template::layerTypeStamp, {100, 400, 600, 150});
    stamp->setStringValue(QStringLiteral("stamp"));
    stamp->setKey(QStringLiteral("time"));
    stamp->setFontSize(QStringLiteral("80"));
    auto textWithoutText = addLayer(root, KOVA_Template::layerTypeTextbox, {100, 600, 600, 100});
    textWithoutText->setKey(QStringLiteral("time"));

    const QImage canvas = root->imageUncached();
    const auto darkPixels = [&](const QRect& area) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x)
                count += canvas.pixelColor(x, y).alpha() > 128 && canvas.pixelColor(x, y).value() < 100;
        }
        return count;
    };
    EXPECT_GT(darkPixels({100, 100, 600, 200}), 500);
    EXPECT_GT(darkPixels({100, 400, 600, 150}), 500);
    EXPECT_EQ(darkPixels({0, 0, 800, 100}), 0);
    EXPECT_EQ(darkPixels({0, 300, 800, 100}), 0);
    EXPECT_GT(darkPixels({100, 600, 600, 100}), 50);
    EXPECT_EQ(darkPixels({0, 550, 800, 50}), 0);
    EXPECT_EQ(darkPixels({0, 700, 800, 100}), 0);
}

// A graphic that does not open as given is searched for in the template's
// neighbourhood: Images, Graphics and Templates, first beside the template file,
// then below the part of its path before "Templates/".
TEST_F(KOVA_ProductImageComposerTest, GraphicIsSearchedForInOrder)
{
    auto root = rootOfSize({100, 100});
    root->setDocumentURL(QUrl::fromLocalFile(scratch.path(QStringLiteral("Shop/Templates/Cards/a.xml"))));
    auto graphic = addLayer(root, KOVA_Template::layerTypeGraphic, {0, 0, 100, 100});
    graphic->setGraphicPath(QStringLiteral("logo.png"));
    const QList<std::pair<QString, QColor>> candidates{
        {QStringLiteral("Shop/Templates/Cards/Images/logo.png"), red},
        {QStringLiteral("Shop/Images/logo.png"), green},
        {QStringLiteral("Shop/Templates/Cards/Graphics/logo.png"), blue},
        {QStringLiteral("Shop/Graphics/logo.png"), yellow},
        {QStringLiteral("Shop/Templates/Cards/Templates/logo.png"), QColor(0, 255, 255)},
        {QStringLiteral("Shop/Templates/logo.png"), QColor(255, 0, 255)},
    };
    for (const auto& [relative, color] : candidates)
        save(relative, kova::test::solid(10, 10, color));

    for (const auto& [relative, color] : candidates) {
        EXPECT_TRUE(near(probe(root->imageUncached(), 50, 50), color)) << relative.toStdString();
        ASSERT_TRUE(QFile::remove(scratch.path(relative)));
    }
    EXPECT_EQ(probe(root->imageUncached(), 50, 50), transparent);
}

// A picture name that climbs out of the folders it is searched in is not looked for
// there: a ticket's value cannot have a file from elsewhere printed.
TEST_F(KOVA_ProductImageComposerTest, GraphicClimbingOutOfTheSearchedFoldersIsNotFound)
{
    auto root = rootOfSize({100, 100});
    root->setDocumentURL(QUrl::fromLocalFile(scratch.path(QStringLiteral("Shop/Templates/Cards/a.xml"))));
    auto graphic = addLayer(root, KOVA_Template::layerTypeGraphic, {0, 0, 100, 100});
    save(QStringLiteral("secret.png"), kova::test::solid(10, 10, red));
    save(QStringLiteral("Shop/Graphics/inside.png"), kova::test::solid(10, 10, green));
    for (const char* climbing : {"../../../../secret.png", "../../secret.png"}) {
        graphic->setGraphicPath(QString::fromUtf8(climbing));
        EXPECT_EQ(probe(root->imageUncached(), 50, 50), transparent) << climbing;
    }
    graphic->setGraphicPath(QStringLiteral("../Graphics/inside.png"));
    EXPECT_TRUE(near(probe(root->imageUncached(), 50, 50), green));
}

TEST_F(KOVA_ProductImageComposerTest, JobContainerIsSearchedInsteadOfTheTemplateFolder)
{
    auto root = rootOfSize({100, 100});
    root->setDocumentURL(QUrl::fromLocalFile(scratch.path(QStringLiteral("Shop/Templates/Cards/a.xml"))));
    const auto package = std::make_shared<JobPackage>(QUrl::fromLocalFile(scratch.path(QStringLiteral("job.kovajob"))));
    root->setPackage(package);
    auto graphic = addLayer(root, KOVA_Template::layerTypeGraphic, {0, 0, 100, 100});
    graphic->setGraphicPath(QStringLiteral("logo.png"));
    save(QStringLiteral("Shop/Templates/Cards/Images/logo.png"), kova::test::solid(10, 10, red));
    save(QStringLiteral("Shop/Graphics/logo.png"), kova::test::solid(10, 10, green));
    save(QStringLiteral("job.kovajob/Graphics/logo.png"), kova::test::solid(10, 10, blue));

    // After the job's and the shop's Images, the job's Graphics come before the shop's.
    EXPECT_TRUE(near(probe(root->imageUncached(), 50, 50), blue));
}

// An entry of the job container that a link takes out of it (the picture, or the
// Images folder itself) gives no composition at all and is named in the log; links
// that stay inside the job, and the lab's own folders, are followed.
TEST_F(KOVA_ProductImageComposerTest, JobEntriesLinkedOutOfTheJobAreRefusedWithTheComposition)
{
    const QString secret = save(QStringLiteral("elsewhere/photo.png"), kova::test::solid(10, 10, red));
    using kova::test::BundleLink;
    const auto link = [](const QString& target, const QString& at) {
        EXPECT_TRUE(kova::test::linkMakingFolders(target, at)) << at.toStdString();
    };
    const auto linked = [&](BundleLink link, const QString& images) {
        return [this, &secret, link, images](const QString& job) {
            EXPECT_TRUE(kova::test::layBundleLink(link, job, images, QStringLiteral("photo.png"), secret, [this](const QString& path) {
                return !save(QDir(scratch.path()).relativeFilePath(path), kova::test::solid(10, 10, green)).isEmpty();
            }));
        };
    };
    const struct {
        QString name;
        std::function<void(const QString& job)> layout;
        std::optional<QColor> drawn; // none: no composition
    } cases[] = {
        {nameOf(BundleLink::PictureLinkedOut), linked(BundleLink::PictureLinkedOut, QStringLiteral("Images")), std::nullopt},
        {nameOf(BundleLink::ImagesFolderLinkedOut), linked(BundleLink::ImagesFolderLinkedOut, QStringLiteral("images")), std::nullopt},
        {QStringLiteral("graphics folder linked out"),
         [&](const QString& job) { link(QFileInfo(secret).path(), job + QStringLiteral("/Graphics")); }, std::nullopt},
        {nameOf(BundleLink::PictureLinkedInside), linked(BundleLink::PictureLinkedInside, QStringLiteral("Images")), green},
        {nameOf(BundleLink::ImagesFolderLinkedInside), linked(BundleLink::ImagesFolderLinkedInside, QStringLiteral("images")), green},
        {QStringLiteral("the lab's images folder linked elsewhere"),
         [&](const QString&) { link(QFileInfo(secret).path(), scratch.path(QStringLiteral("Shop/Images"))); }, red},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString job = scratch.path(QStringLiteral("job%1.kovajob").arg(run++));
        QDir().mkpath(job);
        QFile::remove(scratch.path(QStringLiteral("Shop/Images")));
        c.layout(job);
        auto root = rootOfSize({100, 100});
        root->setDocumentURL(QUrl::fromLocalFile(scratch.path(QStringLiteral("Shop/Templates/a.xml"))));
        const auto package = std::make_shared<JobPackage>(QUrl::fromLocalFile(job));
        root->setPackage(package);
        addLayer(root, KOVA_Template::layerTypeImage, {0, 0, 100, 100})->setGraphicPath(QStringLiteral("photo.png"));
        QImage composed;
        const QString log = kova::test::loggedBy([&] { composed = root->imageUncached(); });
        EXPECT_EQ(composed.isNull(), !c.drawn);
        if (c.drawn) {
            EXPECT_TRUE(near(probe(composed, 50, 50), *c.drawn));
        }
        EXPECT_EQ(log.contains(QStringLiteral("refused the picture %1/").arg(job)), !c.drawn) << log.toStdString();
    }
}

TEST_F(KOVA_ProductImageComposerTest, PdfGraphicIsRasterised)
{
    const QString path = scratch.path(QStringLiteral("artwork.pdf"));
    {
        QPdfWriter pdf(path);
        pdf.setPageSize(QPageSize(QSizeF(100, 100), QPageSize::Point));
        pdf.setPageMargins({});
        QPainter painter(&pdf);
        painter.fillRect(QRect(QPoint(0, 0), QSize(pdf.width(), pdf.height())), red);
    }
    auto root = rootOfSize({300, 300});
    auto graphic = addLayer(root, KOVA_Template::layerTypeGraphic, {50, 50, 200, 200});
    graphic->setGraphicPath(path);

    const QImage full = root->imageUncached();
    EXPECT_TRUE(near(probe(full, 150, 150), red));
    EXPECT_TRUE(near(probe(full, 60, 240), red));
    EXPECT_EQ(probe(full, 40, 150), transparent);
    EXPECT_TRUE(near(probe(preview(root), 150, 150), red));
}

TEST_F(KOVA_ProductImageComposerTest, PreviewShowsThePlaceholderWhereTheJobImageWouldBe)
{
    auto root = rootOfSize({400, 300});
    root->setFilepathCustomImage(save(QStringLiteral("job.png"), kova::test::solid(10, 10, red)));
    auto photo = addLayer(root, KOVA_Template::layerTypeImage, {0, 0, 400, 300});
    photo->setGraphicPath(scratch.path(QStringLiteral("missing.jpg")));
    auto graphic = addLayer(root, KOVA_Template::layerTypeGraphic, {0, 0, 100, 100});
    graphic->setGraphicPath(scratch.path(QStringLiteral("missing.png")));

    EXPECT_TRUE(near(probe(root->imageUncached(), 5, 295), red));

    // The placeholder: its grey background at three quarters of its alpha, with the
    // picture in the middle.
    const QImage placeholder = preview(root);
    const QColor corner = probe(placeholder, 5, 295);
    EXPECT_NEAR(corner.alpha(), 0x99 * 0.75, 4);
    EXPECT_TRUE(near(corner, QColor(0xDD, 0xDD, 0xDD, corner.alpha()), 4));
    EXPECT_FALSE(near(probe(placeholder, 160, 130), corner, 20)); // the girl's dress
    EXPECT_TRUE(near(probe(placeholder, 50, 250), corner, 4)); // the graphic draws nothing
}

TEST_F(KOVA_ProductImageComposerTest, CanvasOutsideTheLimitsGivesNoImage)
{
    EXPECT_TRUE(rootOfSize({0, 100})->imageUncached().isNull());
    EXPECT_TRUE(rootOfSize({100, 0.5})->imageUncached().isNull());
    EXPECT_TRUE(rootOfSize({40000, 100})->imageUncached().isNull());
    EXPECT_TRUE(rootOfSize({20000, 20000})->imageUncached().isNull());
    EXPECT_TRUE(rootOfSize({1e300, 1e300})->imageUncached().isNull());
    // A scaled side a hair below a whole pixel counts as that pixel.
    auto scaled = rootOfSize({47, 47});
    scaled->setScale(192.0 / 47);
    EXPECT_EQ(scaled->imageUncached().size(), QSize(192, 192));
}

// Rendering only reads the card: the layers keep their scale and flags, the values
// stay as they were, in every mode.
TEST_F(KOVA_ProductImageComposerTest, RenderingLeavesTheTemplateAlone)
{
    const QList<std::pair<QString, std::function<QImage(const KOVA_Template::Pointer&)>>> renders{
        {QStringLiteral("preview"), [](const auto& root) { return preview(root); }},
        {QStringLiteral("unrotated preview"), [](const auto& root) { return preview(root, true); }},
        {QStringLiteral("full"), [](const auto& root) { return root->imageUncached(); }},
    };
    for (const auto& [mode, render] : renders) {
        auto root = card();
        root->setScale(0.5);
        const auto before = root->copy();
        EXPECT_FALSE(render(root).isNull()) << mode.toStdString();
        EXPECT_TRUE(root->isEqualToTemplate(before.get())) << mode.toStdString();
        KOVA_Template::List layers = root->layers();
        layers += layers.last()->layers();
        for (const auto& layer : layers) {
            EXPECT_FALSE(layer->scale().has_value()) << mode.toStdString();
            EXPECT_FALSE(layer->isRenderingPreview()) << mode.toStdString();
        }
    }
}

// Two renders of one card with different options at the same time each give the
// picture their options give alone: neither draws what the other set, and the nested
// container's picture is kept apart for each mode and scale.
TEST_F(KOVA_ProductImageComposerTest, RendersWithDifferentOptionsAtOnceGiveTheirOwnPictures)
{
    const KOVA_RenderOptions full;
    const KOVA_RenderOptions half{.scale = 0.5};
    const KOVA_RenderOptions previewed{.preview = true};
    const KOVA_RenderOptions unrotated{.preview = true, .unrotated = true};
    const QList<std::pair<KOVA_RenderOptions, KOVA_RenderOptions>> pairs{
        {previewed, full}, {full, half}, {previewed, unrotated}};
    for (const auto& [first, second] : pairs) {
        const QString both = first.description() + QStringLiteral(" with ") + second.description();
        const QImage firstAlone = card()->createProductImage(first);
        const QImage secondAlone = card()->createProductImage(second);
        ASSERT_FALSE(firstAlone == secondAlone) << both.toStdString();
        const auto shared = card();
        for (int round = 0; round < 8; ++round) {
            std::latch start(2);
            const auto render = [&](const KOVA_RenderOptions& options) {
                start.arrive_and_wait();
                return shared->createProductImage(options);
            };
            auto secondAtOnce = std::async(std::launch::async, render, second);
            EXPECT_TRUE(render(first) == firstAlone) << both.toStdString();
            EXPECT_TRUE(secondAtOnce.get() == secondAlone) << both.toStdString();
        }
    }
}

} // namespace
