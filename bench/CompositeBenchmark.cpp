// The 4x6 composite every output of a job is like, rendered from its template
// file and written as a JPEG, measured against the floor (libjpeg-turbo decoding
// both photos whole and writing one JPEG, in this process) in the same
// iterations: wall time of one composite at a time, the process CPU time of
// each, and eight composites at once against eight floors at once.
//
// The composite: an 1800 x 1200 white canvas; photo A (4000 x 3000) filling the
// left 900 x 1200 about its centre; photo B (4000 x 3000 stored with
// orientation 6) upright, filling the right half; a 250 x 250 PNG with soft
// alpha at (1500, 50); a 38-word caption in DejaVu Sans 48 px wrapped in
// 1700 x 200 at (50, 980); a 200 x 200 QR picture at (50, 50); JPEG quality 90.
#include "JpegFloor.h"
#include "PhotoFixtures.h"
#include "core/codes/ZORVAK_2dCodeGenerator.h"
#include "core/image/ImageProperties.h"
#include "core/image/ZORVAK_Image.h"
#include "core/image/ZORVAK_ImageWriter.h"
#include "template/KOVA_Template.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QRadialGradient>
#include <QTemporaryDir>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr int parallelCount = 8;

const QString caption = QStringLiteral(
    "Summer by the sea: the harbour at dusk, the lighthouse on the cliff and the long walk back along the beach "
    "with everyone who came, a day we will remember for many years and tell our children about when they are older.");

QString templateText(const QString& photoA, const QString& photoB, const QString& sticker, const QString& code)
{
    return QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<data type="KOVA_Template" version="1.0">
    <layout size="{1800, 1200}" name="Composite 4x6">
        <backgroundEnabled>yes</backgroundEnabled>
        <layer type="image" frame="{{0, 0}, {900, 1200}}" zindex="100">
            <key>image1</key>
            <filepath>%1</filepath>
            <gravity>resizeAspectFill</gravity>
        </layer>
        <layer type="image" frame="{{900, 0}, {900, 1200}}" zindex="200">
            <key>image2</key>
            <filepath>%2</filepath>
            <gravity>resizeAspectFill</gravity>
        </layer>
        <layer type="graphic" frame="{{1500, 50}, {250, 250}}" zindex="300">
            <filepath>%3</filepath>
            <gravity>resizeAspect</gravity>
        </layer>
        <layer type="graphic" frame="{{50, 50}, {200, 200}}" zindex="400">
            <filepath>%4</filepath>
            <gravity>resizeAspect</gravity>
        </layer>
        <layer type="textbox" frame="{{50, 980}, {1700, 200}}" zindex="500">
            <key>caption</key>
            <string>%5</string>
            <font size="48">DejaVu Sans</font>
            <textAlignment>left</textAlignment>
            <color>#202020</color>
        </layer>
    </layout>
</data>
)")
        .arg(photoA, photoB, sticker, code, caption);
}

// A sun-like disc whose alpha falls off softly towards its edge.
QImage softSticker()
{
    QImage sticker(250, 250, QImage::Format_ARGB32_Premultiplied);
    sticker.fill(Qt::transparent);
    QPainter painter(&sticker);
    QRadialGradient gradient(125, 125, 125);
    gradient.setColorAt(0, QColor(255, 200, 0, 255));
    gradient.setColorAt(0.6, QColor(255, 140, 0, 200));
    gradient.setColorAt(1, QColor(255, 80, 0, 0));
    painter.fillRect(sticker.rect(), gradient);
    return sticker;
}

QImage qrPicture()
{
    QImage code(200, 200, QImage::Format_ARGB32_Premultiplied);
    code.fill(Qt::white);
    QPainter painter(&code);
    painter.setTransform(QTransform(1, 0, 0, -1, 0, 200));
    const QVariantMap options{{zorvak_2dCodeKey_message, QStringLiteral("https://example.com/orders/4711/prints/12")},
                              {zorvak_2dCodeKey_type, 1},
                              {zorvak_2dCodeKey_scale, 5}};
    ZORVAK_2dCodeGenerator::draw(options, painter, QRectF(0, 0, 200, 200));
    return code;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The photos, graphics and template, written once into a temporary folder.
struct CompositeFiles {
    QTemporaryDir folder;
    QString photoA;
    QString photoB;
    QString templatePath;
    bool ready = false;

    CompositeFiles()
    {
        // KOVA_BENCH_KEEP_FILES=1 keeps the folder, to look at what was written.
        folder.setAutoRemove(qEnvironmentVariableIntValue("KOVA_BENCH_KEEP_FILES") != 1);
        if (!folder.autoRemove())
            qInfo("composite files in %s", qPrintable(folder.path()));
        photoA = folder.filePath(QStringLiteral("A.jpeg"));
        photoB = folder.filePath(QStringLiteral("B.jpeg"));
        const QString sticker = folder.filePath(QStringLiteral("sticker.png"));
        const QString code = folder.filePath(QStringLiteral("code.png"));
        templatePath = folder.filePath(QStringLiteral("Composite 4x6.xml"));
        const QString turned = folder.filePath(QStringLiteral("B-as-stored.jpeg"));
        ready = PhotoFixtures::writePhoto(photoA, PhotoFixtures::photoLikePicture(QSize(4000, 3000), 0x2545F491u))
            && PhotoFixtures::writePhoto(turned, PhotoFixtures::photoLikePicture(QSize(4000, 3000), 0x9E3779B9u))
            && softSticker().save(sticker) && qrPicture().save(code)
            && writeFile(templatePath, templateText(photoA, photoB, sticker, code).toUtf8());
        QFile stored(turned);
        const auto oriented = ready && stored.open(QIODevice::ReadOnly)
            ? ImageProperties::rewrite(stored.readAll(), {{ImageProperties::orientationKey, 6}})
            : std::nullopt;
        ready = oriented && writeFile(photoB, *oriented);
    }

    QString output(const QString& name) const { return folder.filePath(name); }

    static const CompositeFiles& shared()
    {
        static const CompositeFiles files;
        return files;
    }
};

// What a rendering process pays at start so that its first rendering costs no
// more than later ones; measured once (KOVA_BENCH_UNPREPARED=1 leaves it out,
// to see what the first rendering pays without it).
double preparationMilliseconds()
{
    static const double milliseconds = [] {
        if (qEnvironmentVariableIntValue("KOVA_BENCH_UNPREPARED") == 1)
            return 0.0;
        QElapsedTimer timer;
        timer.start();
        ZORVAK_Image::prepareForDrawing();
        return double(timer.nsecsElapsed()) / 1e6;
    }();
    return milliseconds;
}

// The composite's template from its file. Photo A is shown as it is, centre
// cropped; a template file cannot switch off autorotation, which would turn it
// to run along its portrait frame.
KOVA_Template::Pointer loadComposite(const CompositeFiles& files)
{
    const KOVA_Template::Pointer composite = KOVA_Template::templateWithPath(files.templatePath, QUrl());
    if (composite && !composite->layers().isEmpty())
        composite->layers().constFirst()->setAutorotate(false);
    return composite;
}

bool renderComposite(const CompositeFiles& files, const QString& destination)
{
    const KOVA_Template::Pointer composite = loadComposite(files);
    if (!composite)
        return false;
    const QImage image = composite->imageUncached();
    return !image.isNull()
        && ZORVAK_ImageWriter::writeImage(image, QUrl::fromLocalFile(destination),
                                          {{zorvakImageKey_lossyCompressionQuality, JpegFloor::quality / 100.0}});
}

bool renderFloor(const CompositeFiles& files, const QString& destination)
{
    return JpegFloor::composeTwoBlocks(files.photoA, files.photoB, destination);
}

double processCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

rusage processUsage()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage;
}

double peakResidentMegabytes()
{
    return double(processUsage().ru_maxrss) / 1024;
}

struct Cost {
    double wallMilliseconds = 0;
    double cpuMilliseconds = 0;
    double faultedMegabytes = 0; // memory touched for the first time (minor page faults)
    bool done = false;
};

Cost measure(const std::function<bool()>& work)
{
    QElapsedTimer timer;
    const double cpu = processCpuMilliseconds();
    const long faults = processUsage().ru_minflt;
    timer.start();
    Cost cost;
    cost.done = work();
    cost.wallMilliseconds = double(timer.nsecsElapsed()) / 1e6;
    cost.cpuMilliseconds = processCpuMilliseconds() - cpu;
    cost.faultedMegabytes = double(processUsage().ru_minflt - faults) * double(sysconf(_SC_PAGESIZE)) / (1024 * 1024);
    return cost;
}

// The first composite of the process, measured once: the first rendering must
// cost no more than later ones. Meaningful when this benchmark runs first.
const Cost& firstComposite(const CompositeFiles& files)
{
    static const Cost first = measure([&] { return renderComposite(files, files.output(QStringLiteral("first.jpeg"))); });
    return first;
}

// One composite at a time, each iteration paired with the floor. The iteration
// time is the composite's wall time; the counters give the floor's, the ratios,
// the CPU time of both and the process's peak memory.
void CompositeOneWorker(benchmark::State& state)
{
    const CompositeFiles& files = CompositeFiles::shared();
    if (!files.ready) {
        state.SkipWithError("the photos and template could not be written");
        return;
    }
    const double preparation = preparationMilliseconds();
    const Cost first = firstComposite(files);
    const QString composed = files.output(QStringLiteral("composite.jpeg"));
    const QString floor = files.output(QStringLiteral("floor.jpeg"));
    Cost composites;
    Cost floors;
    for (auto _ : state) {
        const Cost plain = measure([&] { return renderFloor(files, floor); });
        const Cost measured = measure([&] { return renderComposite(files, composed); });
        state.SetIterationTime(measured.wallMilliseconds / 1e3);
        if (!first.done || !plain.done || !measured.done) {
            state.SkipWithError("the composite or the floor could not be made");
            return;
        }
        composites.wallMilliseconds += measured.wallMilliseconds;
        composites.cpuMilliseconds += measured.cpuMilliseconds;
        composites.faultedMegabytes += measured.faultedMegabytes;
        floors.wallMilliseconds += plain.wallMilliseconds;
        floors.cpuMilliseconds += plain.cpuMilliseconds;
    }
    const double count = double(state.iterations());
    state.counters["floor_ms"] = floors.wallMilliseconds / count;
    state.counters["ratio"] = composites.wallMilliseconds / floors.wallMilliseconds;
    state.counters["cpu_ms"] = composites.cpuMilliseconds / count;
    state.counters["floor_cpu_ms"] = floors.cpuMilliseconds / count;
    state.counters["cpu_ratio"] = composites.cpuMilliseconds / floors.cpuMilliseconds;
    state.counters["faulted_mb"] = composites.faultedMegabytes / count;
    state.counters["prepare_ms"] = preparation;
    state.counters["first_ms"] = first.wallMilliseconds;
    state.counters["first_faulted_mb"] = first.faultedMegabytes;
    state.counters["first_vs_later"] = first.wallMilliseconds / (composites.wallMilliseconds / count);
    state.counters["peak_rss_mb"] = peakResidentMegabytes();
    state.SetLabel("targets: ratio and cpu_ratio at most 1.3, first_vs_later at most 1.1");
}
BENCHMARK(CompositeOneWorker)->Unit(benchmark::kMillisecond)->UseManualTime()->MeasureProcessCPUTime()->Iterations(10);

// The peak memory of a process rendering 100 composites one after another (no
// floor), prepared as a rendering process is; meaningful when this benchmark
// runs alone in its process.
void CompositeHundredInOneProcess(benchmark::State& state)
{
    const CompositeFiles& files = CompositeFiles::shared();
    preparationMilliseconds();
    const QString composed = files.output(QStringLiteral("hundred.jpeg"));
    for (auto _ : state) {
        for (int index = 0; index < 100; ++index) {
            if (!files.ready || !renderComposite(files, composed)) {
                state.SkipWithError("the composite could not be made");
                return;
            }
        }
    }
    state.counters["peak_rss_mb"] = peakResidentMegabytes();
    state.SetLabel("target: peak_rss_mb at most 165 when run alone");
}
BENCHMARK(CompositeHundredInOneProcess)->Unit(benchmark::kMillisecond)->Iterations(1);

// Wall time of `count` runs of `work` at once, each on its own thread.
Cost inParallel(int count, const std::function<bool(int)>& work)
{
    return measure([&] {
        std::atomic<int> failures = 0;
        std::vector<std::thread> threads;
        for (int index = 0; index < count; ++index)
            threads.emplace_back([&, index] { failures += work(index) ? 0 : 1; });
        for (std::thread& thread : threads)
            thread.join();
        return failures == 0;
    });
}

// Eight composites at once against eight floors at once, in every iteration.
// "rate_vs_floor" is the composites' rate as a share of the floors'.
void CompositeEightAtOnce(benchmark::State& state)
{
    const CompositeFiles& files = CompositeFiles::shared();
    if (!files.ready) {
        state.SkipWithError("the photos and template could not be written");
        return;
    }
    const auto output = [&](const char* kind, int index) { return files.output(QStringLiteral("%1-%2.jpeg").arg(kind).arg(index)); };
    double floorMilliseconds = 0;
    double compositeMilliseconds = 0;
    for (auto _ : state) {
        const Cost floors = inParallel(parallelCount, [&](int index) { return renderFloor(files, output("floor", index)); });
        const Cost composites
            = inParallel(parallelCount, [&](int index) { return renderComposite(files, output("composite", index)); });
        state.SetIterationTime(composites.wallMilliseconds / 1e3);
        if (!floors.done || !composites.done) {
            state.SkipWithError("a composite or a floor could not be made");
            return;
        }
        floorMilliseconds += floors.wallMilliseconds;
        compositeMilliseconds += composites.wallMilliseconds;
    }
    state.counters["floors_ms"] = floorMilliseconds / double(state.iterations());
    state.counters["rate_vs_floor"] = floorMilliseconds / compositeMilliseconds;
    state.SetLabel("target: rate_vs_floor at least 0.8");
}
BENCHMARK(CompositeEightAtOnce)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace
