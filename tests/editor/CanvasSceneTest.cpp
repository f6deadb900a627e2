#include "editor/canvas/CanvasScene.h"

#include "CanvasFixtures.h"

#include <gtest/gtest.h>

using kova::test::layerWithFrame;

TEST(CanvasScene, itemsFollowTheLayersByIdentity)
{
    const auto a = layerWithFrame({0, 0, 10, 10}), b = layerWithFrame({10, 0, 10, 10});
    const auto c = layerWithFrame({0, 10, 10, 10});
    CanvasScene scene;
    scene.update({a, b, c}, {b}, true);
    const auto itemA = scene.itemForLayer(a.get()), itemC = scene.itemForLayer(c.get());
    EXPECT_EQ(scene.items(), (QList{itemA, scene.itemForLayer(b.get()), itemC}));
    EXPECT_EQ(itemA->borderWidth, CanvasScene::layerFrameWidth);
    EXPECT_TRUE(scene.itemForLayer(b.get())->selected);
    EXPECT_EQ(scene.itemForLayer(b.get())->borderWidth, 0.0);

    // Reordered and one layer gone: the same items, moved; the gone layer's item dropped.
    c->setFrame({5, 5, 20, 20});
    scene.update({c, a}, {}, false);
    EXPECT_EQ(scene.items(), (QList{itemC, itemA}));
    EXPECT_FALSE(scene.itemForLayer(b.get()));
    EXPECT_EQ(itemC->frame, QRectF(5, 5, 20, 20));
    EXPECT_EQ(itemA->borderWidth, 0.0);
}

// Fast select and deselect: an image of a replaced request neither fills the item nor
// ends the wait for the images that replace the flattened preview.
TEST(CanvasScene, onlyTheLatestRequestOfAnItemIsShown)
{
    const auto a = layerWithFrame({0, 0, 10, 10}), b = layerWithFrame({10, 0, 10, 10});
    const QImage image(10, 10, QImage::Format_ARGB32_Premultiplied);
    CanvasScene scene;
    scene.update({a, b}, {a}, false);
    const quint64 earlier = scene.requestImage(a.get());
    scene.update({a, b}, {a}, false);
    const quint64 laterA = scene.requestImage(a.get()), laterB = scene.requestImage(b.get());
    EXPECT_FALSE(scene.setImage(a.get(), earlier, image));
    EXPECT_TRUE(scene.itemForLayer(a.get())->image.isNull());
    EXPECT_FALSE(scene.setImage(a.get(), laterA, image));
    EXPECT_FALSE(scene.itemForLayer(a.get())->image.isNull());
    EXPECT_TRUE(scene.setImage(b.get(), laterB, image));

    const quint64 beforeEmptying = scene.requestImage(a.get());
    scene.emptyImages();
    EXPECT_FALSE(scene.setImage(a.get(), beforeEmptying, image));
    EXPECT_TRUE(scene.itemForLayer(a.get())->image.isNull());
    // Deselected with the layer frames on: the ants stop and the grey frame is back.
    EXPECT_FALSE(scene.itemForLayer(a.get())->selected);
    EXPECT_EQ(scene.itemForLayer(a.get())->borderWidth, CanvasScene::layerFrameWidth);
}
