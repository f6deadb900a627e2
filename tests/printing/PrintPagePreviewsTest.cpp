#include "platform/defaults/UserDefaults.h"
#include "platform/observation/KeyValueObserver.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

using kova::test::waitUntil;

namespace {

// A DNP page whose renderer counts its builds and gives a picture only while it has one.
class CountingPage : public ZORVAK_PrintPage_DNP {
public:
    std::atomic<bool> hasImage = true;
    mutable std::atomic<int> previewBuilds = 0;
    mutable std::atomic<int> thumbnailBuilds = 0;
    mutable std::mutex mutex;
    mutable QString previewSize;

protected:
    QImage renderedImage(const QVariantMap& options) const override
    {
        QImage image(hasImage ? QSize(8, 4) : QSize(), QImage::Format_RGBX8888);
        const std::lock_guard lock(mutex);
        previewSize = options.value(QStringLiteral("previewSize")).toString();
        ++(options.value(QStringLiteral("isPreviewImage")).toBool() ? thumbnailBuilds : previewBuilds);
        return image;
    }
};

// A view bound to the preview: it reads the preview again whenever it is told of a change.
class RedrawingView : public platform::KeyValueObserver {
public:
    void observeValueForKeyPath(const QString&, platform::Observable& object, const QVariantMap&, const void*) override
    {
        static_cast<ZORVAK_PrintPage&>(object).imagePreview();
    }
};

} // namespace

TEST(PrintPagePreviews, previewIsBuiltOncePerChangeOfWhatItShows)
{
    const auto page = std::make_shared<CountingPage>();
    const auto view = std::make_shared<RedrawingView>();
    page->addObserver(view, ZORVAK_PrintPage::ImagePreviewKey, 0, nullptr);
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/a.jpg"));
    const std::function<void()> changes[] = {
        [] {},
        [&] { page->setInputImages({url}); },
        [&] { page->setImageFilters({QVariant(QVariantList{})}); },
        [&] { page->setPrinterProfileICC(url); },
        [&] { page->setImageGravity(QStringLiteral("center")); },
        [&] { page->setColorManagement(2); },
        [&] { page->setAutoRotate(false); },
        [&] { page->setApplyImageFilters(false); },
        [&] { page->setMulticut(2); },
        [&] { page->setQuality(10); },
    };
    int expected = 0;
    for (const auto& change : changes) {
        SCOPED_TRACE(expected);
        change();
        page->imagePreview();
        ++expected;
        ASSERT_TRUE(waitUntil([&] { return !page->didUpdateImagePreview(); }));
        for (int read = 0; read < 3; ++read, kova::test::processMainQueue())
            EXPECT_FALSE(page->imagePreview().isNull());
        EXPECT_EQ(page->previewBuilds, expected) << "repeated reads and redraws start no build";
    }
    EXPECT_EQ(ZORVAK_PrintPage::keyPathsForValuesAffectingImagePreview().size(), qsizetype(std::size(changes)) - 1);
    page->removeObserver(view.get(), ZORVAK_PrintPage::ImagePreviewKey, nullptr);
}

TEST(PrintPagePreviews, thumbnailIsRenderedAtThePreferredSizeOnce)
{
    const std::pair<QVariant, QString> cases[] = {{QStringLiteral("{120, 80}"), QStringLiteral("{120, 80}")},
                                                  {QVariant(), QStringLiteral("{64, 64}")},
                                                  {QStringLiteral("{0, 0}"), QStringLiteral("{64, 64}")}};
    const auto defaults = platform::UserDefaults::standardUserDefaults();
    for (const auto& [preference, size] : cases) {
        SCOPED_TRACE(size.toStdString());
        defaults->setObject(preference, QStringLiteral("thumbnailSizeCustom"));
        const auto page = std::make_shared<CountingPage>();
        EXPECT_TRUE(page->imageThumbnail().isNull());
        ASSERT_TRUE(waitUntil([&] { return !page->didUpdateImageThumbnail(); }));
        EXPECT_FALSE(page->imageThumbnail().isNull());
        EXPECT_EQ(page->thumbnailBuilds, 1);
        const std::lock_guard lock(page->mutex);
        EXPECT_EQ(page->previewSize, size);
    }
    defaults->removeObjectForKey(QStringLiteral("thumbnailSizeCustom"));
}

TEST(PrintPagePreviews, thumbnailOfAPageWithoutImageIsTriedAgainOnlyAfterAChange)
{
    const auto page = std::make_shared<CountingPage>();
    page->hasImage = false;
    page->imageThumbnail();
    ASSERT_TRUE(waitUntil([&] { return page->thumbnailBuilds == 1; }));
    for (int read = 0; read < 3; ++read, kova::test::processMainQueue()) {
        EXPECT_TRUE(page->imageThumbnail().isNull());
        EXPECT_TRUE(page->didUpdateImageThumbnail()) << "the failed attempt stands";
    }
    EXPECT_EQ(page->thumbnailBuilds, 1);

    page->hasImage = true;
    page->setInputImages({QUrl::fromLocalFile(QStringLiteral("/later.jpg"))});
    ASSERT_TRUE(waitUntil([&] { return !page->imageThumbnail().isNull(); }));
    EXPECT_EQ(page->thumbnailBuilds, 2);
}
