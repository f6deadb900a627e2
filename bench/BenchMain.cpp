// The benchmark program: a GUI application on the offscreen platform, since
// text layout and fonts need one even without a display. It runs in a temporary
// work tree, so that no benchmark reads or writes the machine's preferences.
#include "BenchWorkTree.h"
#include "workflow/processing/KOVA_Road.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

const KOVA_RunTree& benchWorkTree()
{
    static const KOVA_RunTree tree;
    return tree;
}

int main(int argc, char** argv)
{
    // Before the application object: everything reads the tree's environment.
    if (!benchWorkTree().isValid())
        return 1;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    KOVA_Road::install();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
