#include "template/KOVA_Template.h"

#include "ChangeRecorder.h"
#include "platform/xml/XmlNode.h"
#include "template/KOVA_XML_Keys.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

using kova::test::ChangeRecorder;

// A layer holding `text`, so that layers can be told apart.
KOVA_Template::Pointer layerWithText(const QString& text)
{
    auto layer = KOVA_Template::initForCopy();
    layer->setLayerType(KOVA_Template::layerTypeTextbox);
    layer->setStringValue(text);
    return layer;
}

QStringList textsOf(const KOVA_Template::List& layers)
{
    QStringList texts;
    for (const auto& layer : layers)
        texts.append(layer->stringValue());
    return texts;
}

TEST(KOVA_TemplateTest, AddLayerOfTypePlacesNumbersAndSelectsTheNewLayer)
{
    auto root = KOVA_Template::init();
    const auto first = root->addLayerOfType(KOVA_Template::layerTypeImage);
    EXPECT_EQ(first->frame(), QRectF(100, 100, 500, 200));
    EXPECT_EQ(first->stringValue(), QStringLiteral("image"));
    EXPECT_EQ(first->zLevelString(), QStringLiteral("1")); // a single layer is not renumbered
    EXPECT_EQ(first->parent(), root);
    EXPECT_EQ(root->layersSelected(), KOVA_Template::List{first});

    const auto second = root->addLayerOfType(KOVA_Template::layerTypeStamp);
    EXPECT_EQ(root->zLevelStrings(), (QStringList{"100", "200"}));
    EXPECT_EQ(root->layers(), (KOVA_Template::List{first, second}));
    EXPECT_EQ(root->layersSelected(), KOVA_Template::List{second});

    const auto untyped = root->addLayerOfType(3);
    EXPECT_EQ(untyped->layerType(), KOVA_Template::layerTypeNone);
    EXPECT_FALSE(untyped->hasValue(KOVA_XML_Key_layerType));
    EXPECT_TRUE(untyped->stringValue().isNull());
}

TEST(KOVA_TemplateTest, AddLayerOfTypeOnAFramelessTemplateGivesAZeroSizedLayer)
{
    auto frameless = KOVA_Template::initForCopy();
    const auto layer = frameless->addLayerOfType(KOVA_Template::layerTypeGraphic);
    EXPECT_EQ(layer->frame(), QRectF(100, 100, 0, 0));
}

TEST(KOVA_TemplateTest, AddedLayersAreNumberedInOrderAndSelected)
{
    auto root = KOVA_Template::init();
    auto a = layerWithText("a");
    auto b = layerWithText("b");
    auto c = layerWithText("c");
    root->addLayer(a);
    root->addLayers({b, c});
    EXPECT_EQ(root->zLevelStrings(), (QStringList{"100", "200", "300"}));
    EXPECT_EQ(textsOf(root->layers()), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(root->layersSelected(), (KOVA_Template::List{b, c}));
    EXPECT_EQ(c->parent(), root);
}

TEST(KOVA_TemplateTest, SortingIsStableAndReadsMissingOrNonNumericIndexesAsZero)
{
    auto root = KOVA_Template::init();
    auto single = layerWithText("single");
    single->setZLevelString(QStringLiteral("7"));
    root->setLayers({single});
    root->sortLayers();
    EXPECT_EQ(single->zLevelString(), QStringLiteral("7"));

    const QStringList levels{"5", "", "abc", "5", "-1", "0"};
    KOVA_Template::List layers;
    for (qsizetype i = 0; i < levels.size(); ++i) {
        auto layer = layerWithText(QString::number(i));
        if (!levels.at(i).isEmpty())
            layer->setZLevelString(levels.at(i));
        layers.append(layer);
    }
    root->setLayers(layers);
    root->sortLayers();
    EXPECT_EQ(textsOf(root->layers()), (QStringList{"4", "1", "2", "5", "0", "3"}));
    EXPECT_EQ(root->zLevelStrings(), (QStringList{"100", "200", "300", "400", "500", "600"}));
}

TEST(KOVA_TemplateTest, DeletingAndSelectingActOnTheVeryLayerGivenAmongEqualOnes)
{
    auto root = KOVA_Template::init();
    auto twin = layerWithText("same");
    auto other = layerWithText("same");
    auto third = layerWithText("third");
    root->addLayers({twin, other, third});
    // Equal value maps but for the z index; make them fully equal.
    other->setZLevelString(twin->zLevelString());
    ASSERT_TRUE(twin->isEqual(other.get()));

    root->selectLayer(other, false);
    EXPECT_EQ(root->indexSetLayersSelected(), QList<qsizetype>{1});
    root->deselectLayer(twin); // not selected: nothing changes
    EXPECT_EQ(root->indexSetLayersSelected(), QList<qsizetype>{1});

    root->deleteLayer(other);
    EXPECT_EQ(root->layers(), (KOVA_Template::List{twin, third}));
    EXPECT_TRUE(root->layersSelected().isEmpty());
    root->deleteLayer(nullptr);
    EXPECT_EQ(root->layers().size(), 2);
}

TEST(KOVA_TemplateTest, SelectionExtendsReplacesAndIgnoresStrangers)
{
    auto root = KOVA_Template::init();
    auto a = layerWithText("a");
    auto b = layerWithText("b");
    auto c = layerWithText("c");
    root->addLayers({a, b, c});

    root->selectLayer(a, false);
    root->selectLayers({c, layerWithText("stranger")}, true);
    EXPECT_EQ(root->layersSelected(), (KOVA_Template::List{a, c}));
    root->selectLayers({}, true);
    EXPECT_EQ(root->layersSelected(), (KOVA_Template::List{a, c}));
    root->deselectLayer(a);
    EXPECT_EQ(root->layersSelected(), KOVA_Template::List{c});
    root->selectLayers({b}, false);
    EXPECT_EQ(root->layersSelected(), KOVA_Template::List{b});
    root->selectLayers({}, false);
    EXPECT_TRUE(root->layersSelected().isEmpty());

    root->setIndexSetLayersSelected({5});
    EXPECT_TRUE(root->layersSelected().isEmpty());
    root->setIndexSetLayersSelected({2, 0, 9});
    EXPECT_EQ(root->layersSelected(), (KOVA_Template::List{a, c}));
}

TEST(KOVA_TemplateTest, LayerListAndSelectionChangesAreAnnounced)
{
    auto root = KOVA_Template::init();
    auto recorder = ChangeRecorder::observing(*root, {"layers", "layersSelected"});
    auto layer = root->addLayerOfType(KOVA_Template::layerTypeTextbox);
    EXPECT_EQ(recorder->keys().count("layers"), 1); // nested announcements count once
    EXPECT_GE(recorder->keys().count("layersSelected"), 1);
    recorder->clear();

    root->deselectLayer(layer);
    root->deselectLayer(layer);
    EXPECT_EQ(recorder->keys(), QStringList{"layersSelected"});
}

TEST(KOVA_TemplateTest, TypesAreReadFromTheStoredText)
{
    auto layer = KOVA_Template::initForCopy();
    layer->setValue(KOVA_XML_Key_layerType, KOVA_XML_Key_node);
    EXPECT_EQ(layer->layerType(), KOVA_Template::layerTypeContainer);
    EXPECT_FALSE(layer->isTypeContainer());
    EXPECT_TRUE(layer->isTypeNode());

    layer->setLayerType(KOVA_Template::layerTypeStamp);
    EXPECT_TRUE(layer->isTypeStamp());
    EXPECT_EQ(layer->type(), QStringLiteral("stamp"));
    layer->setLayerType(64);
    EXPECT_FALSE(layer->hasValue(KOVA_XML_Key_layerType));
    EXPECT_EQ(KOVA_Template::layerTypeForString(QStringLiteral("Image")), KOVA_Template::layerTypeNone);
}

TEST(KOVA_TemplateTest, ContainerKeysMatchElementNamesWithoutRegardToCase)
{
    EXPECT_EQ(KOVA_Template::containerKeyForNode(platform::XmlNode::element(QStringLiteral("Portrait"))),
              QStringLiteral("portrait"));
    EXPECT_EQ(KOVA_Template::containerKeyForNode(platform::XmlNode::element(QStringLiteral("LAYOUT"))),
              QStringLiteral("layout"));
    EXPECT_TRUE(KOVA_Template::containerKeyForNode(platform::XmlNode::element(QStringLiteral("page"))).isNull());
}

TEST(KOVA_TemplateTest, NamesFollowTheLayerType)
{
    auto image = KOVA_Template::initForCopy();
    image->setLayerType(KOVA_Template::layerTypeImage);
    image->setValue(KOVA_XML_Key_filepath, QImage(1, 1, QImage::Format_RGB32));
    EXPECT_EQ(image->name(), QStringLiteral("Internal Preprocessed Template Image"));
    image->setGraphicPath(QStringLiteral("/p.png"));
    EXPECT_EQ(image->name(), QStringLiteral("/p.png"));
    EXPECT_EQ(layerWithText("words")->name(), QStringLiteral("words"));
    auto root = KOVA_Template::init();
    root->setValue(KOVA_XML_Key_name, QStringLiteral("Postcard"));
    EXPECT_EQ(root->name(), QStringLiteral("Postcard"));
}

// A template with two layers, one of them a container with a layer of its own.
KOVA_Template::Pointer nestedTemplate()
{
    auto root = KOVA_Template::init();
    auto container = KOVA_Template::initForCopy();
    container->setLayerType(KOVA_Template::layerTypeContainer);
    container->addLayer(layerWithText("inner"));
    root->addLayers({layerWithText("outer"), container});
    return root;
}

TEST(KOVA_TemplateTest, CopiesAreEqualAndLinkTheirOwnLayers)
{
    auto root = nestedTemplate();
    auto package = std::make_shared<KOVA_XML_object>();
    root->setPackage(package);
    root->setValue(QStringLiteral("decoded"), QImage(4, 4, QImage::Format_ARGB32));

    const auto copied = root->copy();
    ASSERT_TRUE(copied);
    // In-memory values stay with the original only.
    EXPECT_FALSE(copied->hasValue(QStringLiteral("decoded")));
    EXPECT_TRUE(root->hasValue(QStringLiteral("decoded")));
    root->removeValue(QStringLiteral("decoded"));
    EXPECT_TRUE(copied->isEqual(root.get()));
    EXPECT_EQ(copied->hash(), root->hash());
    EXPECT_EQ(copied->package(), package);
    EXPECT_FALSE(copied->parent());

    const auto container = copied->layers().at(1);
    EXPECT_EQ(container->parent(), copied);
    EXPECT_EQ(container->layers().at(0)->parent(), container);
    EXPECT_EQ(container->layers().at(0)->package(), package);

    // Editing the copy leaves the original alone.
    const qint64 before = root->changeCount();
    copied->layers().at(0)->setX(42);
    EXPECT_EQ(root->changeCount(), before);
    EXPECT_NE(root->layers().at(0)->x(), 42);
    EXPECT_FALSE(copied->isEqual(root.get()));
}

TEST(KOVA_TemplateTest, EqualityComparesValuesDeeply)
{
    auto first = KOVA_Template::init();
    auto second = KOVA_Template::init();
    first->setLayers({}); // an empty list counts as none
    EXPECT_TRUE(first->isEqual(second.get()));
    EXPECT_FALSE(first->isEqual(nullptr));

    first->setValue(QStringLiteral("n"), 5);
    second->setValue(QStringLiteral("n"), 5.0);
    EXPECT_TRUE(first->isEqual(second.get()));
    second->setValue(QStringLiteral("n"), QStringLiteral("5"));
    EXPECT_FALSE(first->isEqual(second.get()));
    second->setValue(QStringLiteral("n"), 5);

    const auto one = nestedTemplate();
    const auto other = nestedTemplate();
    EXPECT_TRUE(one->isEqual(other.get()));
    other->layers().at(1)->layers().at(0)->setStringValue(QStringLiteral("changed"));
    EXPECT_FALSE(one->isEqual(other.get()));
}

TEST(KOVA_TemplateTest, UnsavedChangesAreTheDifferenceFromTheLastSavedCopy)
{
    auto root = nestedTemplate();
    EXPECT_TRUE(root->hasUnsavedChanges());
    root->setLastSaved(root->copy());
    EXPECT_FALSE(root->hasUnsavedChanges());

    const qint64 before = root->changeCount();
    root->layers().at(0)->setFontSize(QStringLiteral("12"));
    EXPECT_TRUE(root->hasUnsavedChanges());
    EXPECT_EQ(root->changeCount(), before + 1);
}

} // namespace
