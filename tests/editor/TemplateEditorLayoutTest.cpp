#include "editor/window/TemplateEditorLayout.h"

#include "TestEnvironment.h"
#include "core/queues/ZORVAK_Coalesce.h"
#include "core/ui/WindowFit.h"
#include "editor/canvas/KOVA_TemplateEditorView.h"
#include "platform/dispatch/DispatchClock.h"

#include <QMainWindow>
#include <QSplitter>

#include <gtest/gtest.h>

#include <algorithm>

using namespace std::chrono_literals;

namespace {

// The editor's widgets in a window that is never shown, so that a canvas resized here
// gets no resize event of its own and refits only when the dividers ask it to; delays
// pass on a manual clock.
class TemplateEditorLayoutTest : public ::testing::Test {
protected:
    void SetUp() override { platform::DispatchClock::setCurrent(clock); }
    void TearDown() override
    {
        pass(1h);
        platform::DispatchClock::setCurrent(nullptr);
    }

    void pass(std::chrono::milliseconds by)
    {
        clock->advance(by);
        ZORVAK_Coalesce::coalescingQueue()->sync([] {});
        kova::test::processMainQueue();
    }

    // Without a template the scale is one over the room left inside the inset.
    static double scaleForCanvas(const QSize& size)
    {
        const double inset = KOVA_TemplateEditorView::defaultInsetTemplate;
        return 1.0 / std::min(size.width() - 2 * inset, size.height() - 2 * inset);
    }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(std::chrono::hours(1));
    QMainWindow window;
    TemplateEditorLayout layout{window};
};

TEST_F(TemplateEditorLayoutTest, DividerMovesRefitTheCanvasOnceAfterTheyPause)
{
    KOVA_TemplateEditorView& canvas = *layout.canvas;
    const double before = canvas.scaleTemplate();
    const QSize dragged(500, 300);
    ASSERT_NE(before, scaleForCanvas(dragged));
    canvas.resize(dragged);

    // Moves 30 ms apart, of either divider: none refits while they go on, even past
    // 50 ms after the first.
    for (QSplitter* splitter : {layout.mainSplitter, layout.layersSplitter, layout.mainSplitter}) {
        emit splitter->splitterMoved(150, 1);
        pass(30ms);
        EXPECT_EQ(canvas.scaleTemplate(), before);
    }
    pass(20ms);
    EXPECT_DOUBLE_EQ(canvas.scaleTemplate(), scaleForCanvas(dragged));

    // That was the only run the burst owed.
    canvas.resize(700, 500);
    pass(1s);
    EXPECT_DOUBLE_EQ(canvas.scaleTemplate(), scaleForCanvas(dragged));
}

// A 1024 x 768 screen less a 28-point panel, under a frame with a 23-point title bar.
TEST(TemplateEditorLayoutFrameTest, AWindowComesBackInsideTheAvailableScreenFrameAndAll)
{
    const QRect available(0, 0, 1024, 740);
    const QMargins frame(1, 23, 1, 1);
    const struct {
        const char* name;
        QRect window;
        QRect expected;
    } rows[] = {
        {"inside stays", {100, 100, 800, 500}, {100, 100, 800, 500}},
        {"past the bottom moves up", {50, 300, 800, 500}, {50, 239, 800, 500}},
        {"title bar above the top moves down", {100, 10, 800, 500}, {100, 23, 800, 500}},
        {"left of the screen moves right", {-300, 100, 800, 500}, {1, 100, 800, 500}},
        {"larger than the screen shrinks", {0, 23, 1180, 760}, {1, 23, 1022, 716}},
        {"on another screen moves onto this one", {1500, 900, 400, 300}, {623, 439, 400, 300}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(WindowFit::fittedInside(row.window, frame, available), row.expected) << row.name;
}

} // namespace
