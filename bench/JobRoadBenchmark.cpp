// Cost of one job on the road from ticket to delivered pictures: a job bundle whose
// ticket names one package of 20 outputs, each a 4 x 6 print at 300 dpi (1200 x 1800
// pixels) of its own 12-megapixel photo with a caption and a QR code placed as a
// graphic, each encoded as a JPEG in memory by the delivery. Measured against Qt's own
// decode, scale and encode of the same 20 photos spread over the same number of
// threads; the peak resident memory of the job is reported beside it.
#include "JobRoadFixtures.h"
#include "PhotoFixtures.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchQueue.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/outputs/KOVA_OutputDelivery.h"
#include "workflow/processing/KOVA_JobProcessor.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <functional>

namespace {

constexpr int outputCount = 20;
constexpr int distinctPhotos = 4;
const QSize photoSize(4000, 3000);

// Encodes each picture as a JPEG in memory, as a delivery to a file would before writing.
class InMemoryJpegDelivery : public KOVA_OutputDelivery {
public:
    std::atomic<int> delivered{0};

    void deliver(KOVA_Output&, const QImage& picture, const std::shared_ptr<KOVA_Destination>&, const Reply& reply) override
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(PhotoFixtures::outputQuality);
        const bool written = writer.write(picture);
        delivered += written ? 1 : 0;
        if (reply)
            reply(written, written ? platform::Error{} : platform::Error{platform::Error::POSIXDomain, -1, writer.errorString()});
    }
    void deliverOriginal(KOVA_Output&, const std::shared_ptr<KOVA_Destination>&, const Reply&) override {}
};

// The job bundle: photos in "images", the print templates beside it, the package of
// 20 outputs in the bundle's "Packages".
struct JobBundle {
    QTemporaryDir folder;
    QString bundle;
    QStringList photos;

    JobBundle()
    {
        bundle = folder.filePath(QStringLiteral("Order.kovajob"));
        QDir().mkpath(bundle + QStringLiteral("/images"));
        QDir().mkpath(bundle + QStringLiteral("/Packages"));
        QDir().mkpath(folder.filePath(QStringLiteral("Templates")));
        writePhotos();
        JobRoadFixtures::writePrintPackage(folder.filePath(QStringLiteral("Templates")), bundle + QStringLiteral("/Packages/prints.xml"),
                                           QStringLiteral("PRINTS"), outputCount,
                                           QStringLiteral("<destination type=\"filepath\"><filepath>/tmp</filepath></destination>"));
        JobRoadFixtures::writeFile(bundle + QStringLiteral("/job.xml"),
                                   QStringLiteral("<data type=\"kova_job\" version=\"1.0\"><package plucode=\"PRINTS\">%1"
                                                  "<caption>Summer 2026</caption></package></data>")
                                       .arg(JobRoadFixtures::photoValues(photos))
                                       .toUtf8());
    }

    void writePhotos()
    {
        for (int index = 1; index <= outputCount; ++index)
            photos.append(bundle + QStringLiteral("/images/photo%1.jpeg").arg(index));
        for (int index = 0; index < distinctPhotos; ++index)
            PhotoFixtures::writePhoto(photos.at(index), PhotoFixtures::photoLikePicture(photoSize, 0x9E3779B9u * (index + 1)));
        for (int index = distinctPhotos; index < outputCount; ++index)
            QFile::copy(photos.at(index % distinctPhotos), photos.at(index));
    }
};

bool runJob(const JobBundle& files, InMemoryJpegDelivery& delivery)
{
    const int before = delivery.delivered;
    const auto job = KOVA_Job::instanceWithXMLObject(QUrl::fromLocalFile(files.bundle));
    if (!job)
        return false;
    bool succeeded = false;
    job->processJob([&succeeded](const platform::Error& error) { succeeded = error.isNull(); });
    return succeeded && delivery.delivered - before == outputCount;
}

// The plain baseline: every photo decoded, scaled to the print and encoded, spread
// over the global queue as the job spreads its outputs.
bool decodeScaleEncodeAll(const JobBundle& files)
{
    std::atomic<bool> allDone{true};
    const auto group = platform::DispatchGroup::create();
    for (const QString& photo : files.photos) {
        group->async(platform::DispatchQueue::global(platform::QoS::UserInitiated), [&allDone, &files, photo] {
            const QString destination = files.folder.filePath(QFileInfo(photo).completeBaseName() + QStringLiteral("-plain.jpeg"));
            if (!PhotoFixtures::decodeScaleEncode(photo, JobRoadFixtures::printSize, destination))
                allDone = false;
        });
    }
    group->wait();
    return allDone;
}

// The peak resident memory while `run` runs, in megabytes. The heap freed before is
// handed back first, as the job processor does after every job.
double peakWhile(const std::function<bool()>& run, bool& done)
{
    malloc_trim(0);
    JobRoadFixtures::resetPeakResidentMemory();
    done = run();
    return JobRoadFixtures::residentMegabytes("VmHWM");
}

void JobOf20PrintsToPlainRatio(benchmark::State& state)
{
    static const JobBundle files;
    const auto delivery = std::make_shared<InMemoryJpegDelivery>();
    KOVA_OutputDelivery::install(KOVA_Destination::Kind::Filepath, delivery);
    KOVA_JobProcessor::handBackLargeBlocks();
    const auto job = [&] { return runJob(files, *delivery); };
    // The first job of a fresh process, before any plain run has grown the heap.
    bool firstDone = false;
    state.counters["first_job_peak_rss_mb"] = peakWhile(job, firstDone);
    if (!firstDone)
        state.SkipWithError("the first job failed");
    double peak = 0;
    PhotoFixtures::measureAgainstPlain(state, [&] { return decodeScaleEncodeAll(files); },
                                       [&] {
                                           bool done = false;
                                           peak = std::max(peak, peakWhile(job, done));
                                           return done;
                                       });
    KOVA_OutputDelivery::installDefaults();
    // Later jobs start from the heap the earlier runs (and the plain runs) left behind,
    // less what was handed back.
    state.counters["peak_rss_mb"] = peak;
    state.SetLabel("target: under 2 s on 8 cores, under 400 MB");
}
BENCHMARK(JobOf20PrintsToPlainRatio)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace
