// Cost of one job on the road from ticket to delivered pictures: a job bundle whose
// ticket names one package of 20 outputs, each a 4 x 6 print at 300 dpi (1200 x 1800
// pixels) of its own 12-megapixel photo with a caption and a QR code placed as a
// graphic, each encoded as a JPEG in memory by the delivery. Measured against Qt's own
// decode, scale and encode of the same 20 photos spread over the same number of
// threads; the peak resident memory of the job is reported beside it.
#include "PhotoFixtures.h"
#include "core/codes/ZORVAK_QRCodeGenerator.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchQueue.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/outputs/KOVA_OutputDelivery.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <string>

namespace {

constexpr int outputCount = 20;
constexpr int distinctPhotos = 4;
const QSize printSize(1200, 1800);
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

QString printTemplate(int index, const QString& qrCode)
{
    return QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<data type="KOVA_Template" version="1.0">
    <layout size="{1200, 1800}" name="print%1">
        <backgroundEnabled>yes</backgroundEnabled>
        <layer type="image" frame="{{60, 60}, {1080, 1400}}" zindex="100">
            <key>image%1</key>
            <gravity>resizeAspectFill</gravity>
        </layer>
        <layer type="textbox" frame="{{60, 1500}, {800, 240}}" zindex="200">
            <key>caption</key>
            <string>Caption</string>
            <font size="64">Helvetica</font>
            <color>#203040</color>
        </layer>
        <layer type="graphic" frame="{{900, 1500}, {240, 240}}" zindex="300">
            <filepath>%2</filepath>
            <gravity>resizeAspect</gravity>
        </layer>
    </layout>
</data>
)")
        .arg(index)
        .arg(qrCode);
}

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
        const QString qrCode = folder.filePath(QStringLiteral("Templates/order-code.png"));
        ZORVAK_2dCodeGenerator::createImageWithMessage(ZORVAK_QRCodeGenerator::make, QStringLiteral("https://example.org/order/1001"))
            .save(qrCode);
        QString outputs;
        QString templates;
        QString values;
        for (int index = 1; index <= outputCount; ++index) {
            const QString templatePath = folder.filePath(QStringLiteral("Templates/print%1.xml").arg(index));
            write(templatePath, printTemplate(index, qrCode).toUtf8());
            templates += QStringLiteral("<template name=\"print%1\"><filepath>%2</filepath></template>\n").arg(index).arg(templatePath);
            outputs += QStringLiteral("<output size=\"{1200, 1800}\"><print%1 type=\"node\"/>"
                                      "<destination type=\"filepath\"><filepath>/tmp</filepath></destination></output>\n")
                           .arg(index);
            values += QStringLiteral("<image%1>%2</image%1>\n").arg(index).arg(photos.at(index - 1));
        }
        write(bundle + QStringLiteral("/Packages/prints.xml"),
              QStringLiteral("<package type=\"KOVA_Package\" version=\"1.0\" plucode=\"PRINTS\">%1%2</package>")
                  .arg(templates, outputs)
                  .toUtf8());
        write(bundle + QStringLiteral("/job.xml"),
              QStringLiteral("<data type=\"kova_job\" version=\"1.0\"><package plucode=\"PRINTS\">%1"
                             "<caption>Summer 2026</caption></package></data>")
                  .arg(values)
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

    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
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
            if (!PhotoFixtures::decodeScaleEncode(photo, printSize, destination))
                allDone = false;
        });
    }
    group->wait();
    return allDone;
}

// A memory figure of the process in megabytes: "VmHWM" the peak resident memory since the
// last reset, "VmRSS" the resident memory now.
double residentMegabytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::stod(line.substr(field.size() + 1)) / 1024.0;
    }
    return 0;
}

void resetPeakResidentMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The peak resident memory while `run` runs, in megabytes.
double peakWhile(const std::function<bool()>& run, bool& done)
{
    resetPeakResidentMemory();
    done = run();
    return residentMegabytes("VmHWM");
}

void JobOf20PrintsToPlainRatio(benchmark::State& state)
{
    static const JobBundle files;
    const auto delivery = std::make_shared<InMemoryJpegDelivery>();
    KOVA_OutputDelivery::install(KOVA_Destination::Kind::Filepath, delivery);
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
    // Later jobs start from the heap the earlier runs (and the plain runs) left behind.
    state.counters["peak_rss_mb"] = peak;
    state.SetLabel("target: under 2 s on 8 cores, under 400 MB");
}
BENCHMARK(JobOf20PrintsToPlainRatio)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace
