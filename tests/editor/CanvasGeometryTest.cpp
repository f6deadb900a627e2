#include "editor/canvas/CanvasGeometry.h"

#include "CanvasFixtures.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace kova::test;

namespace {

using Edges = CanvasGeometry::Edges;

constexpr double degrees30 = std::numbers::pi / 6.0;

void expectNear(const QRectF& actual, const QRectF& expected, const char* name)
{
    EXPECT_NEAR(actual.x(), expected.x(), 0.01) << name;
    EXPECT_NEAR(actual.y(), expected.y(), 0.01) << name;
    EXPECT_NEAR(actual.width(), expected.width(), 0.01) << name;
    EXPECT_NEAR(actual.height(), expected.height(), 0.01) << name;
}

} // namespace

TEST(CanvasGeometry, fitsTheTemplateCentredAndConvertsWidgetPoints)
{
    const struct {
        const char* name;
        QSizeF templateSize;
        double scaleTemplate;
        QPointF translate;
        QPointF templatePoint; // of the widget point (200, 150)
    } rows[] = {
        {"wider than the widget", {1800, 1200}, 5.0, {20, 30}, {900, 600}},
        {"taller than the widget", {1200, 1800}, 1800.0 / 260.0, {400.0 / 3.0 - 20.0, 20}, {600, 900}},
        {"zero width", {0, 1200}, 1200.0 / 260.0, {200, 20}, {0, 600}},
    };
    for (const auto& row : rows) {
        const CanvasGeometry geometry = fittedGeometry(row.templateSize);
        EXPECT_NEAR(geometry.scaleTemplate(), row.scaleTemplate, 1e-9) << row.name;
        EXPECT_NEAR(geometry.translateTemplate().x(), row.translate.x(), 1e-9) << row.name;
        EXPECT_NEAR(geometry.translateTemplate().y(), row.translate.y(), 1e-9) << row.name;
        const QPointF point = geometry.templateTranslatedFromViewPoint(QPointF(200, 150));
        EXPECT_NEAR(point.x(), row.templatePoint.x(), 1e-9) << row.name;
        EXPECT_NEAR(point.y(), row.templatePoint.y(), 1e-9) << row.name;
        EXPECT_EQ(geometry.transformFromTemplateToView().map(point), QPointF(200, 150)) << row.name;
    }
    const CanvasGeometry geometry = fittedGeometry({1800, 1200});
    EXPECT_EQ(geometry.rectImagePreview(), QRectF(20, 30, 360, 240));
    EXPECT_EQ(geometry.translateRectFromViewToTemplate(QRectF(120, 80, -100, -50)), QRectF(0, 0, 500, 250));
}

TEST(CanvasGeometry, sizesWithoutRoomKeepTheLastFitAndScale)
{
    const struct {
        const char* name;
        QSizeF bounds;
        QSizeF preview;
    } rows[] = {
        {"no height", {400, 0}, {1800, 1200}},
        {"narrower than the inset", {39, 300}, {1800, 1200}},
        {"collapsed", {0, 0}, {1800, 1200}},
        {"preview without height", {400, 300}, {1800, 0}},
    };
    for (const auto& row : rows) {
        CanvasGeometry geometry = fittedGeometry({1800, 1200});
        geometry.setSizeImagePreview(row.preview);
        geometry.boundsDidChange(row.bounds, QSizeF(1800, 1200));
        EXPECT_DOUBLE_EQ(geometry.scaleTemplate(), 5.0) << row.name;
        EXPECT_EQ(geometry.translateTemplate(), QPointF(20, 30)) << row.name;
        EXPECT_EQ(geometry.rectImagePreview(), QRectF(20, 30, 360, 240)) << row.name;
    }
    CanvasGeometry fresh;
    fresh.boundsDidChange(QSizeF(0, 0), QSizeF(0, 0));
    EXPECT_TRUE(std::isfinite(fresh.scaleTemplate()));
}

TEST(CanvasGeometry, hitTestFindsTheTopmostLayerByItsRotatedOutlineAndTheEdgesOfASelectedOne)
{
    auto tmpl = KOVA_Template::init();
    tmpl->setFrame(QRectF(0, 0, 1800, 1200));
    const auto lower = layerWithFrame({100, 100, 400, 300});
    const auto upper = layerWithFrame({300, 200, 400, 300});
    const auto turned = layerWithFrame({1000, 100, 400, 100}, std::numbers::pi / 2.0);
    const auto narrow = layerWithFrame({1500, 600, 60, 400});
    tmpl->setLayers({lower, upper, turned, narrow});
    tmpl->selectLayers({upper, narrow}, false);
    const CanvasGeometry geometry = fittedGeometry({1800, 1200}); // edge band 50 units

    const struct {
        const char* name;
        QPointF point;
        KOVA_Template::Pointer layer;
        Edges edges;
    } rows[] = {
        {"overlap: the later layer wins", {400, 300}, upper, {}},
        {"unselected layer: no edges", {105, 105}, lower, {}},
        {"outside every layer", {1700, 1100}, nullptr, {}},
        {"90 degrees: inside the turned outline only", {1200, 300}, turned, {}},
        {"90 degrees: inside the unturned frame only", {1050, 150}, nullptr, {}},
        {"maximum edges are outside", {700, 350}, nullptr, {}},
        {"top-left corner", {310, 210}, upper, {CanvasGeometry::edgeLeft, CanvasGeometry::edgeTop}},
        {"bottom-right corner", {690, 490}, upper, {CanvasGeometry::edgeRight, CanvasGeometry::edgeBottom}},
        {"right edge", {690, 350}, upper, {CanvasGeometry::edgeRight}},
        {"narrow layer, left part", {1530, 800}, narrow, {CanvasGeometry::edgeLeft}},
        {"narrow layer, right part", {1555, 800}, narrow, {CanvasGeometry::edgeRight}},
    };
    for (const auto& row : rows) {
        int calls = 0;
        const auto hit = geometry.point(tmpl, viewPoint(row.point.x(), row.point.y()),
                                        [&](const QPointF& point, const KOVA_Template::Pointer& layer, const Edges& edges) {
                                            ++calls;
                                            EXPECT_NEAR(point.x(), row.point.x(), 1e-9) << row.name;
                                            EXPECT_NEAR(point.y(), row.point.y(), 1e-9) << row.name;
                                            EXPECT_EQ(layer, row.layer) << row.name;
                                            EXPECT_EQ(edges, row.edges) << row.name;
                                        });
        EXPECT_EQ(hit, row.layer) << row.name;
        EXPECT_EQ(calls, 1) << row.name;
    }

    int calls = 0;
    EXPECT_EQ(geometry.point(nullptr, QPointF(200, 150),
                             [&](const QPointF&, const KOVA_Template::Pointer& layer, const Edges& edges) {
                                 ++calls;
                                 EXPECT_EQ(layer, nullptr);
                                 EXPECT_TRUE(edges.isEmpty());
                             }),
              nullptr);
    EXPECT_EQ(calls, 1);
}

TEST(CanvasGeometry, resizingKeepsTheOppositeSideStillOnScreen)
{
    const struct {
        const char* name;
        std::optional<double> rotation;
        Edges edges;
        QPointF translation;
        QRectF expected;
    } rows[] = {
        {"30 degrees, left edge", degrees30, {CanvasGeometry::edgeLeft}, {-20, 0}, {83.84, 95.67, 217.32, 100}},
        {"bottom-right corner", std::nullopt, {CanvasGeometry::edgeRight, CanvasGeometry::edgeBottom}, {10, 20},
         {100, 100, 210, 120}},
        {"top edge", std::nullopt, {CanvasGeometry::edgeTop}, {5, -10}, {100, 90, 200, 110}},
        {"past the opposite edge", std::nullopt, {CanvasGeometry::edgeLeft}, {250, 0}, {350, 100, -50, 100}},
        {"no edge moves the frame", degrees30, {}, {5, -10}, {105, 90, 200, 100}},
    };
    for (const auto& row : rows)
        expectNear(CanvasGeometry::layer(layerWithFrame({100, 100, 200, 100}, row.rotation), row.translation, row.edges),
                   row.expected, row.name);

    // The midpoint of the right side, turned with the layer about the frame's centre.
    const auto rightMidpoint = [](const QRectF& frame) {
        return frame.center() + QTransform().rotateRadians(degrees30).map(QPointF(frame.width() / 2.0, 0));
    };
    const QRectF resized =
        CanvasGeometry::layer(layerWithFrame({100, 100, 200, 100}, degrees30), {-20, 0}, {CanvasGeometry::edgeLeft});
    EXPECT_NEAR(rightMidpoint(resized).x(), 286.60, 0.01);
    EXPECT_NEAR(rightMidpoint(resized).y(), 200.00, 0.01);
}

TEST(CanvasGeometry, gravityNamesTheSideThatStays)
{
    const struct {
        Edges edges;
        std::optional<Qt::Alignment> gravity;
    } rows[] = {
        {{0}, Qt::AlignRight | Qt::AlignVCenter},   {{1}, Qt::AlignBottom | Qt::AlignHCenter},
        {{2}, Qt::AlignLeft | Qt::AlignVCenter},    {{3}, Qt::AlignTop | Qt::AlignHCenter},
        {{0, 3}, Qt::AlignTop | Qt::AlignRight},    {{0, 1}, Qt::AlignBottom | Qt::AlignRight},
        {{1, 0}, Qt::AlignBottom | Qt::AlignRight}, {{1, 2}, Qt::AlignBottom | Qt::AlignLeft},
        {{2, 3}, Qt::AlignTop | Qt::AlignLeft},     {{2, 1}, Qt::AlignBottom | Qt::AlignLeft},
        {{3, 0}, Qt::AlignTop | Qt::AlignRight},    {{3, 2}, Qt::AlignTop | Qt::AlignLeft},
        {{4}, std::nullopt},                        {{4, 1}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CanvasGeometry::gravityForEdges(row.edges), row.gravity) << testing::PrintToString(row.edges);
}

TEST(CanvasGeometry, resizeCursorTurnsClockwiseWithTheLayer)
{
    const QImage image = CanvasGeometry::resizeCursorImage({CanvasGeometry::edgeLeft}, degrees30);
    ASSERT_EQ(image.size(), QSize(36, 36));
    // Darkness (coverage times blackness) of the right half's upper or lower quarter.
    const auto darkness = [&image](int top) {
        int sum = 0;
        for (int y = top; y < top + 18; ++y)
            for (int x = 18; x < 36; ++x)
                sum += qAlpha(image.pixel(x, y)) * (255 - qGray(image.pixel(x, y))) / 255;
        return sum;
    };
    EXPECT_GT(darkness(18), darkness(0) * 1.2);

    const QCursor cursor = CanvasGeometry::resizeCursor({CanvasGeometry::edgeRight, CanvasGeometry::edgeBottom}, {});
    EXPECT_EQ(cursor.hotSpot(), QPoint(18, 18));
}
