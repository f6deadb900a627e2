#include "editor/canvas/CanvasGeometry.h"

#include "CanvasFixtures.h"

#include <QLineF>

#include <gtest/gtest.h>

#include <numbers>

using namespace kova::test;
using Edges = CanvasGeometry::Edges;

namespace {

constexpr double degrees30 = std::numbers::pi / 6.0;

bool near(const QPointF& a, const QPointF& b, double tolerance = 1e-9)
{
    return QLineF(a, b).length() < tolerance;
}

} // namespace

TEST(CanvasGeometry, fitsTheTemplateCentredAndKeepsTheLastFitWithoutRoom)
{
    const struct {
        QSizeF templateSize;
        double scaleTemplate;
        QPointF translate, templatePoint; // of the widget point (200, 150)
    } rows[] = {
        {{1800, 1200}, 5.0, {20, 30}, {900, 600}},
        {{1200, 1800}, 1800.0 / 260.0, {400.0 / 3.0 - 20.0, 20}, {600, 900}},
        {{0, 1200}, 1200.0 / 260.0, {200, 20}, {0, 600}}, // no width: the available width is the scale
    };
    for (const auto& row : rows) {
        const CanvasGeometry geometry = fittedGeometry(row.templateSize);
        EXPECT_NEAR(geometry.scaleTemplate(), row.scaleTemplate, 1e-9) << row.templateSize.width();
        EXPECT_TRUE(near(geometry.translateTemplate(), row.translate)) << row.templateSize.width();
        EXPECT_TRUE(near(geometry.templateTranslatedFromViewPoint({200, 150}), row.templatePoint)) << row.templateSize.width();
        EXPECT_TRUE(near(geometry.transformFromTemplateToView().map(row.templatePoint), {200, 150})) << row.templateSize.width();
    }
    CanvasGeometry geometry = fittedGeometry({1800, 1200});
    EXPECT_EQ(geometry.translateRectFromViewToTemplate(QRectF(120, 80, -100, -50)), QRectF(0, 0, 500, 250));
    for (const QSizeF& bounds : {QSizeF(400, 0), QSizeF(39, 300), QSizeF(0, 0)}) {
        geometry.boundsDidChange(bounds, {1800, 1200});
        EXPECT_EQ(geometry.scaleTemplate(), 5.0) << bounds.width();
        EXPECT_EQ(geometry.rectImagePreview(), QRectF(20, 30, 360, 240)) << bounds.width();
    }
    geometry.setObjectsScale({400, 300}, {qInf(), 1200}); // a template file's absurd width
    EXPECT_EQ(geometry.scaleTemplate(), 5.0);
    geometry.setSizeImagePreview({1800, 0});
    geometry.boundsDidChange({800, 600}, {1800, 1200});
    EXPECT_EQ(geometry.rectImagePreview(), QRectF(20, 30, 360, 240));
}

TEST(CanvasGeometry, hitTestFindsTheTopmostLayerByItsTurnedOutlineAndTheEdgesOfASelectedOne)
{
    auto tmpl = KOVA_Template::init();
    const auto lower = layerWithFrame({100, 100, 400, 300});
    const auto upper = layerWithFrame({300, 200, 400, 300});
    const auto turned = layerWithFrame({1000, 100, 400, 100}, std::numbers::pi / 2.0);
    const auto narrow = layerWithFrame({1500, 600, 60, 400});
    tmpl->setLayers({lower, upper, turned, narrow});
    tmpl->selectLayers({upper, narrow}, false);
    const CanvasGeometry geometry = fittedGeometry({1800, 1200}); // edge band: 50 units

    const struct {
        const char* name;
        QPointF point;
        KOVA_Template::Pointer layer;
        Edges edges;
    } rows[] = {
        {"later layer wins", {400, 300}, upper, {}},
        {"unselected: no edges", {105, 105}, lower, {}},
        {"maximum edge is outside", {700, 350}, nullptr, {}},
        {"90 degrees, turned outline", {1200, 300}, turned, {}},
        {"90 degrees, unturned frame", {1050, 150}, nullptr, {}},
        {"top-left corner", {310, 210}, upper, {0, 1}},
        {"bottom-right corner", {690, 490}, upper, {2, 3}},
        {"right edge", {690, 350}, upper, {2}},
        {"narrow, left part", {1530, 800}, narrow, {0}},
        {"narrow, right part", {1555, 800}, narrow, {2}},
    };
    for (const auto& row : rows) {
        QPointF point;
        Edges edges = {-1};
        const auto hit = geometry.point(tmpl, viewPoint(row.point.x(), row.point.y()),
                                        [&](const QPointF& p, const KOVA_Template::Pointer&, const Edges& e) {
                                            point = p;
                                            edges = e;
                                        });
        EXPECT_EQ(hit, row.layer) << row.name;
        EXPECT_EQ(edges, row.edges) << row.name;
        EXPECT_TRUE(near(point, row.point)) << row.name;
    }
    KOVA_Template::Pointer blockLayer = lower;
    EXPECT_EQ(geometry.point(nullptr, {200, 150}, [&](auto, const auto& layer, auto) { blockLayer = layer; }), nullptr);
    EXPECT_EQ(blockLayer, nullptr);
}

TEST(CanvasGeometry, resizingKeepsTheOppositeSideStillOnScreen)
{
    const struct {
        std::optional<double> rotation;
        Edges edges;
        QPointF translation;
        QRectF expected;
    } rows[] = {
        {degrees30, {0}, {-20, 0}, {83.84, 95.67, 217.32, 100}},
        {std::nullopt, {2, 3}, {10, 20}, {100, 100, 210, 120}},
        {std::nullopt, {1}, {5, -10}, {100, 90, 200, 110}},
        {std::nullopt, {0}, {250, 0}, {350, 100, -50, 100}}, // past the opposite edge
        {degrees30, {}, {5, -10}, {105, 90, 200, 100}},        // no edge: a move
    };
    for (const auto& row : rows) {
        const QRectF frame = CanvasGeometry::layer(layerWithFrame({100, 100, 200, 100}, row.rotation), row.translation, row.edges);
        EXPECT_TRUE(near(frame.topLeft(), row.expected.topLeft(), 0.01)) << row.expected.x();
        EXPECT_TRUE(near(frame.bottomRight(), row.expected.bottomRight(), 0.01)) << row.expected.x();
        if (row.rotation && !row.edges.isEmpty()) {
            // The midpoint of the side opposite the dragged left edge, turned with the layer.
            const QPointF offset = QTransform().rotateRadians(degrees30).map(QPointF(frame.width() / 2, 0));
            EXPECT_TRUE(near(frame.center() + offset, {286.60, 200.00}, 0.01));
        }
    }
}

TEST(CanvasGeometry, gravityNamesTheSideThatStays)
{
    const Qt::Alignment top = Qt::AlignTop, bottom = Qt::AlignBottom, left = Qt::AlignLeft, right = Qt::AlignRight;
    const struct {
        Edges edges;
        std::optional<Qt::Alignment> gravity;
    } rows[] = {
        {{0}, right | Qt::AlignVCenter}, {{1}, bottom | Qt::AlignHCenter}, {{2}, left | Qt::AlignVCenter},
        {{3}, top | Qt::AlignHCenter},   {{0, 3}, top | right},            {{0, 1}, bottom | right},
        {{1, 0}, bottom | right},        {{1, 2}, bottom | left},          {{2, 3}, top | left},
        {{2, 1}, bottom | left},         {{3, 0}, top | right},            {{3, 2}, top | left},
        {{4}, std::nullopt},             {{4, 1}, std::nullopt},           {{}, std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CanvasGeometry::gravityForEdges(row.edges), row.gravity) << testing::PrintToString(row.edges);
}

TEST(CanvasGeometry, resizeCursorTurnsClockwiseWithTheLayer)
{
    const QImage image = CanvasGeometry::resizeCursorImage({0}, degrees30);
    ASSERT_EQ(image.size(), QSize(36, 36));
    // Darkness (coverage times blackness) of the upper or lower quarter of the right half.
    const auto darkness = [&image](int top) {
        int sum = 0;
        for (int y = top; y < top + 18; ++y)
            for (int x = 18; x < 36; ++x)
                sum += qAlpha(image.pixel(x, y)) * (255 - qGray(image.pixel(x, y))) / 255;
        return sum;
    };
    EXPECT_GT(darkness(18), darkness(0) * 1.2);
    EXPECT_EQ(CanvasGeometry::resizeCursor({2, 3}, {}).hotSpot(), QPoint(18, 18));
}
