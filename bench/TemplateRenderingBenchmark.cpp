// Cost of rendering templates the way the system does: a 6 x 4 print template
// (1800 x 1200 pixels) holding two 12-megapixel photos, a graphic with alpha, a
// wrapped text and a date stamp, read from its file, composed and written as a
// JPEG, measured against Qt's own decode, scale and encode of one such photo;
// and the thumbnails of 50 such templates.
#include "PhotoFixtures.h"
#include "core/image/ZORVAK_ImageWriter.h"
#include "template/KOVA_Template.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

const QSize printSize(1800, 1200);
const QSize photoSize(4000, 3000);
constexpr int thumbnailTemplateCount = 50;

// The example work folder's print of two photos, a graphic with alpha, a
// wrapped caption and the date; its graphic is found in the example folder.
const QString printTemplatePath = QStringLiteral(KOVA_EXAMPLES_DIR "/Templates/Photo Print 6x4.xml");

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

// The two photos, written once into a temporary folder for the whole run.
struct PrintFiles {
    QTemporaryDir folder;
    QStringList photos;

    PrintFiles()
    {
        photos = {folder.filePath(QStringLiteral("first.jpeg")), folder.filePath(QStringLiteral("second.jpeg"))};
        PhotoFixtures::writePhoto(photos.at(0), PhotoFixtures::photoLikePicture(photoSize, 0x2545F491u));
        PhotoFixtures::writePhoto(photos.at(1), PhotoFixtures::photoLikePicture(photoSize, 0x9E3779B9u));
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
    const KOVA_Template::Pointer printTemplate = loadPrintTemplate(printTemplatePath, files.photos);
    if (!printTemplate)
        return false;
    const QImage print = printTemplate->imageUncached();
    return !print.isNull()
        && ZORVAK_ImageWriter::writeImage(print, QUrl::fromLocalFile(destination),
                                          {{zorvakImageKey_lossyCompressionQuality, PhotoFixtures::outputQuality / 100.0}});
}

// The print measured against the plain baseline.
void PrintTemplateToPlainRatio(benchmark::State& state)
{
    const PrintFiles& files = PrintFiles::shared();
    const QString print = files.output(QStringLiteral("print.jpeg"));
    const QString plain = files.output(QStringLiteral("plain.jpeg"));
    PhotoFixtures::measureAgainstPlain(
        state, [&] { return PhotoFixtures::decodeScaleEncode(files.photos.at(0), printSize, plain); },
        [&] { return renderAndWritePrint(files, print); });
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

// Thumbnails of 50 templates, as a browser of templates asks for them:
// every template at once; each renders on its own queue. Reading the files is
// not timed.
void ThumbnailsOfTemplateFolder(benchmark::State& state)
{
    const PrintFiles& files = PrintFiles::shared();
    for (auto _ : state) {
        state.PauseTiming();
        KOVA_Template::List templates;
        for (int index = 0; index < thumbnailTemplateCount; ++index) {
            if (const KOVA_Template::Pointer loaded = loadPrintTemplate(printTemplatePath, files.photos))
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
