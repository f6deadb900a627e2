// One composite in a fresh process, started as a rendering process starts: a
// GUI application on the offscreen platform, prepared for drawing as the job
// processor and kova_run are (KOVA_BENCH_UNPREPARED=1 starts as the rendering
// service does, unprepared), then the composite of TEMPLATE written to
// DESTINATION. Exits 0 when it was written.
//
//   kova_bench_composite_once TEMPLATE DESTINATION
#include "CompositeRendering.h"
#include "core/image/ZORVAK_Image.h"

#include <QGuiApplication>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    if (qEnvironmentVariableIntValue("KOVA_BENCH_UNPREPARED") != 1)
        ZORVAK_Image::prepareForDrawing();
    return CompositeRendering::render(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
