#include "editor/window/TemplateEditorLayout.h"

#include "TestEnvironment.h"
#include "core/queues/ZORVAK_Coalesce.h"
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

} // namespace
