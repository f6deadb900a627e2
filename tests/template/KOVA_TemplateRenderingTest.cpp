#include "template/KOVA_Template.h"

#include "../core/ImageTestPictures.h"
#include "ChangeRecorder.h"
#include "FileFixtures.h"
#include "TestEnvironment.h"
#include "core/queues/ZORVAK_Dispatch.h"
#include "platform/dispatch/DispatchQueue.h"
#include "template/KOVA_XML_Keys.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace {

using kova::test::near;
using kova::test::probe;
using kova::test::red;

// A root of `size` holding one image layer that fills it.
class KOVA_TemplateRenderingTest : public ::testing::Test {
protected:
    KOVA_Template::Pointer rootOfSize(const QSizeF& size, const QColor& color = red)
    {
        auto root = KOVA_Template::init();
        root->setValue(KOVA_XML_Key_name, QStringLiteral("Card"));
        root->setFrame(QRectF(QPointF(0, 0), size));
        auto layer = KOVA_Template::initForCopy();
        layer->setLayerType(KOVA_Template::layerTypeImage);
        layer->setFrame(QRectF(QPointF(0, 0), size));
        layer->setGravity(QStringLiteral("resize"));
        layer->setGraphicPath(picture(color));
        root->addLayer(layer);
        return root;
    }

    QString picture(const QColor& color)
    {
        const QString path = scratch.path(QStringLiteral("%1.png").arg(color.name().mid(1)));
        EXPECT_TRUE(kova::test::writeFile(path, kova::test::encoded(kova::test::solid(8, 8, color), "PNG")));
        return path;
    }

    static QImage thumbnailImageOf(const KOVA_Template::Pointer& root)
    {
        std::promise<QImage> rendered;
        root->getThumbnailImage([&](const QImage& image) { rendered.set_value(image); });
        return rendered.get_future().get();
    }

    // Runs what the rendering queue and then the main queue hold now.
    static void drain(const KOVA_Template::Pointer& root)
    {
        root->renderingQueue()->sync([] {});
        bool reached = false;
        ZORVAK_Dispatch::performAsyncOnMainQueue([&] { reached = true; });
        EXPECT_TRUE(kova::test::waitUntil([&] { return reached; }));
    }

    kova::test::ScratchFolder scratch;
};

TEST_F(KOVA_TemplateRenderingTest, ImageIsCachedByName)
{
    auto root = rootOfSize({100, 100});
    const QImage first = root->image();
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(root->image().cacheKey(), first.cacheKey());

    // An edit does not reach the cached picture; a fresh render shows it.
    root->layers().first()->setGraphicPath(picture(kova::test::blue));
    EXPECT_EQ(root->image().cacheKey(), first.cacheKey());
    const QImage fresh = root->imageUncached();
    EXPECT_NE(fresh.cacheKey(), first.cacheKey());
    EXPECT_TRUE(near(probe(fresh, 50, 50), kova::test::blue));

    // Another name renders again and keeps both entries.
    root->setValue(KOVA_XML_Key_name, QStringLiteral("Card 2"));
    const QImage renamed = root->image();
    EXPECT_NE(renamed.cacheKey(), first.cacheKey());
    EXPECT_TRUE(near(probe(renamed, 50, 50), kova::test::blue));
    root->setValue(KOVA_XML_Key_name, QStringLiteral("Card"));
    EXPECT_EQ(root->image().cacheKey(), first.cacheKey());

    // A failed render is not kept.
    root->setValue(KOVA_XML_Key_name, QStringLiteral("Card 3"));
    root->setFrame({0, 0, 0, 100});
    EXPECT_TRUE(root->image().isNull());
    root->setFrame({0, 0, 100, 100});
    EXPECT_FALSE(root->image().isNull());
}

TEST_F(KOVA_TemplateRenderingTest, PreviewsArriveOnTheMainQueueAndComposedImagesOnTheRenderingQueue)
{
    auto root = rootOfSize({100, 100});
    bool previewOnMain = false;
    QImage preview;
    root->getPreviewImage([&](const QImage& image) {
        previewOnMain = ZORVAK_Dispatch::isMainQueue();
        preview = image;
    });
    ASSERT_TRUE(kova::test::waitUntil([&] { return !preview.isNull(); }));
    EXPECT_TRUE(previewOnMain);
    EXPECT_FALSE(root->isRenderingPreview());
    EXPECT_TRUE(near(probe(preview, 50, 50), red));

    std::promise<bool> onRenderingQueue;
    const auto queue = root->renderingQueue();
    root->getComposedImage([&](const QImage&) { onRenderingQueue.set_value(platform::DispatchQueue::current() == queue.get()); });
    EXPECT_TRUE(onRenderingQueue.get_future().get());
}

// A null block does not render: rendering would set the layer's scale.
TEST_F(KOVA_TemplateRenderingTest, NullBlocksRenderNothing)
{
    auto root = rootOfSize({100, 100});
    root->setScale(0.5);
    root->getPreviewImage(nullptr);
    root->getPreviewImageUnrotated(nullptr);
    root->getComposedImage(nullptr);
    root->getThumbnailImage(nullptr);
    drain(root);
    EXPECT_FALSE(root->layers().first()->scale().has_value());
}

TEST_F(KOVA_TemplateRenderingTest, ThumbnailFitsTheThumbnailSize)
{
    EXPECT_EQ(thumbnailImageOf(rootOfSize({1000, 500})).size(), QSize(192, 96));
    EXPECT_EQ(thumbnailImageOf(rootOfSize({300, 600})).size(), QSize(96, 192));
    EXPECT_EQ(thumbnailImageOf(rootOfSize({47, 47})).size(), QSize(192, 192));
    EXPECT_TRUE(thumbnailImageOf(rootOfSize({0, 600})).isNull());
    EXPECT_FALSE(rootOfSize({0, 600})->scaleForSize({192, 192}).has_value());
    EXPECT_EQ(rootOfSize({1000, 500})->sizeScaledToSize({0, 192}), QSizeF(1000, 500));
}

TEST_F(KOVA_TemplateRenderingTest, ThumbnailLeavesTheOriginalUntouched)
{
    auto root = rootOfSize({1000, 500});
    root->layers().first()->setFrame({0, 0, 500, 500});
    const QImage cached = root->image();
    const auto before = root->copy();
    const QImage inMemory = kova::test::solid(4, 4, kova::test::blue);
    root->setValue(QStringLiteral("preprocessed"), inMemory);

    const QImage thumbnail = thumbnailImageOf(root);
    EXPECT_TRUE(near(probe(thumbnail, 20, 50), red));
    EXPECT_TRUE(near(probe(thumbnail, 150, 50), QColor(255, 255, 255))); // the copy's background
    EXPECT_FALSE(root->scale().has_value());
    EXPECT_FALSE(root->layers().first()->scale().has_value());
    EXPECT_FALSE(root->hasBackground());
    EXPECT_FALSE(root->isRenderingPreview());
    EXPECT_EQ(root->value(QStringLiteral("preprocessed")).value<QImage>(), inMemory);
    root->removeValue(QStringLiteral("preprocessed"));
    EXPECT_TRUE(root->isEqualToTemplate(before.get()));
    EXPECT_EQ(root->image().cacheKey(), cached.cacheKey());
}

// Ten requests start one render: "thumbnail" is announced once, on the main queue.
// The main queue waits on the rendering queue meanwhile, which must not deadlock.
TEST_F(KOVA_TemplateRenderingTest, ThumbnailIsRenderedOnceAndKept)
{
    auto root = rootOfSize({1000, 500});
    const auto recorder = kova::test::ChangeRecorder::observing(*root, {QStringLiteral("thumbnail")});
    for (int request = 0; request < 10; ++request)
        EXPECT_TRUE(root->thumbnail().isNull());
    EXPECT_TRUE(root->isRenderingThumbnail());
    EXPECT_FALSE(root->imageUncached().isNull());

    ASSERT_TRUE(kova::test::waitUntil([&] { return !root->isRenderingThumbnail(); }));
    const QImage stored = root->thumbnail();
    EXPECT_EQ(stored.size(), QSize(192, 96));
    EXPECT_EQ(root->thumbnail().cacheKey(), stored.cacheKey());
    EXPECT_EQ(root->valueForKey(QStringLiteral("thumbnail")).value<QImage>().cacheKey(), stored.cacheKey());
    drain(root);
    EXPECT_EQ(recorder->keys(), QStringList{QStringLiteral("thumbnail")});
    EXPECT_EQ(recorder->changes().at(0).newValue.value<QImage>().cacheKey(), stored.cacheKey());
    EXPECT_FALSE(root->isRenderingThumbnail());
}

TEST_F(KOVA_TemplateRenderingTest, TemplateWithoutWidthIsTriedAgainForEveryThumbnail)
{
    auto root = rootOfSize({1000, 500});
    root->setFrame({0, 0, 0, 500});
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_TRUE(root->thumbnail().isNull());
        EXPECT_TRUE(root->isRenderingThumbnail());
        ASSERT_TRUE(kova::test::waitUntil([&] { return !root->isRenderingThumbnail(); }));
    }
    EXPECT_TRUE(root->thumbnail().isNull());
    drain(root);
}

TEST_F(KOVA_TemplateRenderingTest, PoolHandsOutEveryQueueInTurn)
{
    const auto first = KOVA_Template::renderingQueueOfPool();
    QList<std::shared_ptr<platform::DispatchQueue>> turn{first};
    for (auto next = KOVA_Template::renderingQueueOfPool(); next != first && turn.size() < 4096;
         next = KOVA_Template::renderingQueueOfPool())
        turn.append(next);
    ASSERT_GE(turn.size(), 1);
    const QString prefix = QStringLiteral("com.morvanta.kova.template.rendering.");
    const int start = turn.first()->label().mid(prefix.size()).toInt();
    for (qsizetype index = 0; index < turn.size(); ++index)
        EXPECT_EQ(turn[index]->label(), prefix + QString::number((start + index) % turn.size()));
    EXPECT_EQ(KOVA_Template::renderingQueueOfPool(), turn.value(1 % turn.size()));
}

// Image and imageUncached run inline when called on the rendering queue itself.
TEST_F(KOVA_TemplateRenderingTest, RenderingFromItsOwnQueueRunsInline)
{
    auto root = rootOfSize({100, 100});
    std::promise<bool> rendered;
    root->renderingQueue()->async([&] { rendered.set_value(!root->image().isNull() && !root->imageUncached().isNull()); });
    EXPECT_TRUE(rendered.get_future().get());
}

TEST_F(KOVA_TemplateRenderingTest, OutputLockKeepsASecondOutputOut)
{
    auto root = rootOfSize({100, 100});
    auto held = root->lockForOutput();
    std::atomic<bool> entered = false;
    auto second = std::async(std::launch::async, [&] {
        auto lock = root->lockForOutput();
        entered = true;
    });
    EXPECT_EQ(second.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    EXPECT_FALSE(entered);
    held.unlock();
    second.get();
    EXPECT_TRUE(entered);
}

} // namespace
