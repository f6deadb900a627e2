#include "editor/lists/LayerListModel.h"

#include <QMimeData>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Pointer = KOVA_Template::Pointer;

// Four layers named by their letter, "a" lowest: rows show d, c, b, a.
class LayerListModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tmpl = KOVA_Template::init();
        for (const char* name : {"a", "b", "c", "d"}) {
            const Pointer layer = KOVA_Template::initForCopy();
            layer->setLayerType(KOVA_Template::layerTypeTextbox);
            layer->setStringValue(QString::fromLatin1(name));
            tmpl->addLayer(layer);
        }
        model.setLayers(tmpl->layers());
        model.setReorderHandler([this](const KOVA_Template::List& layers, const QStringList& levels) {
            for (qsizetype index = 0; index < layers.size(); ++index)
                layers.at(index)->setZLevelString(levels.at(index));
            tmpl->sortLayers();
        });
    }

    // The rows from top to bottom after the drop, or the refusal.
    QString drop(const QList<int>& rows, int row)
    {
        std::unique_ptr<QMimeData> data(model.mimeData(indexesOf(rows)));
        if (!model.dropMimeData(data.get(), Qt::MoveAction, row, 0, {}))
            return QStringLiteral("refused");
        QString order;
        const KOVA_Template::List layers = tmpl->layers();
        for (auto layer = layers.crbegin(); layer != layers.crend(); ++layer)
            order += (*layer)->stringValue();
        return order;
    }

    QModelIndexList indexesOf(const QList<int>& rows) const
    {
        QModelIndexList indexes;
        for (const int row : rows) {
            indexes.append(model.index(row, 0));
            indexes.append(model.index(row, 1));
        }
        return indexes;
    }

    Pointer tmpl;
    LayerListModel model;
};

TEST_F(LayerListModelTest, RowsShowTheTopmostLayerFirst)
{
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.layerForRow(0)->stringValue(), QStringLiteral("d"));
    EXPECT_EQ(model.layerForRow(3)->stringValue(), QStringLiteral("a"));
    EXPECT_EQ(model.layerForRow(4), nullptr);
    EXPECT_EQ(model.layerForRow(-1), nullptr);
    EXPECT_EQ(model.rowForLayer(tmpl->layers().first()), 3);
    EXPECT_EQ(model.rowForLayer(nullptr), -1);
}

TEST_F(LayerListModelTest, OneMimeObjectCarriesEveryDraggedRow)
{
    std::unique_ptr<QMimeData> data(model.mimeData(indexesOf({2, 0})));
    EXPECT_EQ(data->formats(), QStringList{QStringLiteral("com.morvanta.kova.template.layer.index")});
    EXPECT_EQ(LayerListModel::draggedRows(data.get()), (QList<int>{0, 2}));
    QMimeData other;
    other.setText(QStringLiteral("1"));
    EXPECT_TRUE(LayerListModel::draggedRows(&other).isEmpty());
}

// Every drop position for one and for two dragged rows of d, c, b, a (rows 0 to 3;
// dropping at 4 is below the last row).
TEST_F(LayerListModelTest, DropsGiveTheExpectedOrder)
{
    struct Case {
        QList<int> dragged;
        int row;
        const char* expected;
    };
    const Case cases[] = {
        {{3}, 0, "adcb"}, // bottom onto top: highest
        {{3}, 1, "dacb"},
        {{3}, 2, "dcab"},
        {{3}, 3, "refused"}, // onto itself
        {{3}, 4, "refused"}, // directly below itself
        {{0}, 0, "refused"},
        {{0}, 1, "refused"},
        {{0}, 2, "cdba"},
        {{0}, 3, "cbda"},
        {{0}, 4, "cbad"},
        {{1}, 0, "cdba"},
        {{1}, 3, "dbca"},
        {{0, 1}, 3, "bdca"},
        {{0, 1}, 4, "badc"},
        {{2, 3}, 0, "badc"},
        {{2, 3}, 1, "dbac"},
        {{0, 2}, 4, "cadb"},
        {{1, 3}, 0, "cadb"},
    };
    for (const Case& test : cases) {
        SetUp();
        EXPECT_EQ(drop(test.dragged, test.row), QString::fromLatin1(test.expected))
            << "rows " << test.dragged.first() << (test.dragged.size() > 1 ? "+" : "") << " above " << test.row;
    }
}

TEST_F(LayerListModelTest, DropOnARowLandsAboveIt)
{
    std::unique_ptr<QMimeData> data(model.mimeData(indexesOf({3})));
    EXPECT_TRUE(model.canDropMimeData(data.get(), Qt::MoveAction, -1, -1, model.index(0, 0)));
    EXPECT_FALSE(model.canDropMimeData(data.get(), Qt::MoveAction, -1, -1, model.index(3, 0)));
    EXPECT_FALSE(model.canDropMimeData(data.get(), Qt::CopyAction, 0, 0, {}));
}

} // namespace
