// Cost of rendering templates the way the system does: a 6 x 4 print template
// (1800 x 1200 pixels) holding two 12-megapixel photos, a graphic with alpha, a
// wrapped text and a date stamp, read from its file, composed and written as a
// JPEG, measured against Qt's own decode, scale and encode of one such photo;
// and the thumbnails of a folder of 50 such templates.
#include "PhotoFixtures.h"
#include "core/ZORVAK_ImageWriter.h"
#include "template/KOVA_Template.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

const QSize printSize(1800, 1200);
const QSize photoSize(4000, 3000);
constexpr int thumbnailTemplateCount = 50;

// A print of two photos: a large one at the left, a smaller one at the upper
// right, below it a ribbon graphic, a wrapped caption and the date.
const char* const printTemplateText = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<data type="KOVA_Template" version="1.0">
    <layout size="{1800, 1200}" name="%1">
        <backgroundEnabled>yes</backgroundEnabled>
        <layer type="image" frame="{{40, 40}, {1060, 1120}}" zindex="100">
            <key>image1</key>
            <filepath>ImageFile</filepath>
            <gravity>resizeAspectFill</gravity>
            <border clipsContent="yes" color="#FFFFFF" width="12">yes</border>
        </layer>
        <layer type="image" frame="{{1140, 40}, {620, 540}}" zindex="200">
            <key>image2</key>
            <filepath>ImageFile</filepath>
            <gravity>resizeAspectFill</gravity>
            <shadow blur="8" color="#00000060" offset="{4, -4}">yes</shadow>
        </layer>
        <layer type="graphic" frame="{{1150, 600}, {600, 300}}" zindex="300">
            <filepath>ribbon.png</filepath>
            <gravity>resizeAspect</gravity>
        </layer>
        <layer type="textbox" frame="{{1140, 900}, {620, 200}}" zindex="400">
            <key>caption</key>
            <string>Summer at the lake, with everyone who came along for the long weekend in August</string>
            <font size="40">Helvetica</font>
            <textAlignment>center</textAlignment>
            <color>#202020</color>
        </layer>
        <layer type="stamp" frame="{{1140, 1110}, {620, 50}}" zindex="500">
            <key>date</key>
            <string>longDate</string>
            <font size="32">Helvetica</font>
            <textAlignment>right</textAlignment>
            <color>#404040</color>
        </layer>
    </layout>
</data>
)";

// A translucent ribbon with a soft edge: a graphic whose alpha matters.
QImage ribbonGraphic()
{
    QImage graphic(QSize(600, 300), QImage::Format_ARGB32);
    graphic.fill(Qt::transparent);
    QPainter painter(&graphic);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 255, 255, 220), 10));
    painter.setBrush(QColor(200, 30, 60, 170));
    painter.drawRoundedRect(QRectF(20, 60, 560, 180), 60, 60);
    return graphic;
}

// The template's image layers, in z order, made to show `photos` in turn.
void showPhotos(KOVA_Template& printTemplate, const QStringList& photos)
{
    qsizetype next = 0;
    for (const KOVA_Template::Pointer& layer : printTemplate.layers()) {
        if (layer->layerType() == KOVA_Template::layerTypeImage)
            layer->setGraphicPath(photos.at(next++ % photos.size()));
    }
}

// The print template file at `path`, read by the template reader, its image
// layers showing `photos`; none when it does not load.
KOVA_Template::Pointer loadPrintTemplate(const QString& path, const QStringList& photos)
{
    const KOVA_Template::Pointer printTemplate = KOVA_Template::templateWithPath(path, QUrl());
    if (printTemplate)
        showPhotos(*printTemplate, photos);
    return printTemplate;
}

// The photos, the graphic and the template files, written once into a
// temporary folder for the whole run: one print template, and a folder of
// templates to make thumbnails of.
struct PrintFiles {
    QTemporaryDir folder;
    QStringList photos;
    QString printTemplate;
    QStringList thumbnailTemplates;

    PrintFiles()
    {
        photos = {folder.filePath(QStringLiteral("first.jpeg")), folder.filePath(QStringLiteral("second.jpeg"))};
        PhotoFixtures::writePhoto(photos.at(0), PhotoFixtures::photoLikePicture(photoSize, 0x2545F491u));
        PhotoFixtures::writePhoto(photos.at(1), PhotoFixtures::photoLikePicture(photoSize, 0x9E3779B9u));
        QDir(folder.path()).mkdir(QStringLiteral("Graphics"));
        ribbonGraphic().save(folder.filePath(QStringLiteral("Graphics/ribbon.png")));
        printTemplate = writeTemplate(QStringLiteral("Photo Print 6x4"));
        for (int index = 1; index <= thumbnailTemplateCount; ++index)
            thumbnailTemplates.append(writeTemplate(QStringLiteral("Photo Print 6x4 no %1").arg(index)));
    }

    // A template file beside the "Graphics" folder, where the graphic is found.
    QString writeTemplate(const QString& name) const
    {
        const QString path = folder.filePath(name + QStringLiteral(".xml"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(QString::fromUtf8(printTemplateText).arg(name.toHtmlEscaped()).toUtf8());
        return path;
    }

    QString output(const QString& name) const { return folder.filePath(name); }

    static const PrintFiles& shared()
    {
        static const PrintFiles files;
        return files;
    }
};

bool renderAndWritePrint(const PrintFiles& files, const QString& destination)
{
    const KOVA_Template::Pointer printTemplate = loadPrintTemplate(files.printTemplate, files.photos);
    if (!printTemplate)
        return false;
    const QImage print = printTemplate->imageUncached();
    return !print.isNull()
        && ZORVAK_ImageWriter::writeImage(print, QUrl::fromLocalFile(destination),
                                          {{zorvakImageKey_lossyCompressionQuality, PhotoFixtures::outputQuality / 100.0}});
}

// The print and the plain baseline in turn in every iteration, so that the load
// of a shared machine weighs on both alike; the iteration time is the print's,
// the counters give the plain time and the print's cost as a multiple of it.
void PrintTemplateToPlainRatio(benchmark::State& state)
{
    const PrintFiles& files = PrintFiles::shared();
    const QString print = files.output(QStringLiteral("print.jpeg"));
    const QString plain = files.output(QStringLiteral("plain.jpeg"));
    QElapsedTimer timer;
    double plainMilliseconds = 0;
    double printMilliseconds = 0;
    for (auto _ : state) {
        timer.start();
        const bool plainWritten = PhotoFixtures::decodeScaleEncode(files.photos.at(0), printSize, plain);
        plainMilliseconds += timer.nsecsElapsed() / 1e6;
        timer.start();
        const bool printWritten = renderAndWritePrint(files, print);
        const double printTime = timer.nsecsElapsed() / 1e6;
        printMilliseconds += printTime;
        state.SetIterationTime(printTime / 1e3);
        if (!plainWritten || !printWritten) {
            state.SkipWithError("a picture could not be rendered or written");
            return;
        }
    }
    state.counters["plain_ms"] = plainMilliseconds / double(state.iterations());
    state.counters["ratio"] = printMilliseconds / plainMilliseconds;
    state.SetLabel("target: ratio at most 1.5");
}
BENCHMARK(PrintTemplateToPlainRatio)->Unit(benchmark::kMillisecond)->UseManualTime();

// Pumps the main queue, where finished thumbnails are stored, until no template
// is rendering one; false when that takes over a minute or one is missing.
bool waitForThumbnails(const KOVA_Template::List& templates)
{
    const QDeadlineTimer deadline(60'000);
    const auto isRendering = [](const KOVA_Template::Pointer& each) { return each->isRenderingThumbnail(); };
    while (std::any_of(templates.cbegin(), templates.cend(), isRendering)) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return std::none_of(templates.cbegin(), templates.cend(),
                        [](const KOVA_Template::Pointer& each) { return each->thumbnail().isNull(); });
}

// Thumbnails of a folder of templates, as a browser of templates asks for them:
// every template at once; each renders on its own queue. Reading the files is
// not timed.
void ThumbnailsOfTemplateFolder(benchmark::State& state)
{
    const PrintFiles& files = PrintFiles::shared();
    for (auto _ : state) {
        state.PauseTiming();
        KOVA_Template::List templates;
        for (const QString& path : files.thumbnailTemplates) {
            if (const KOVA_Template::Pointer loaded = loadPrintTemplate(path, files.photos))
                templates.append(loaded);
        }
        state.ResumeTiming();
        for (const KOVA_Template::Pointer& each : templates)
            each->thumbnail();
        if (templates.size() != thumbnailTemplateCount || !waitForThumbnails(templates)) {
            state.SkipWithError("a thumbnail could not be made");
            return;
        }
    }
}
BENCHMARK(ThumbnailsOfTemplateFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
