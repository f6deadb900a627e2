// The whole road as it runs in production: the job processor with its hot folders,
// watchers, queues and files in the benchmark's work tree, set up as kova_run sets
// one up. 100 tickets, each one package of two 4 x 6 prints at 300 dpi of
// 12-megapixel photos with a caption and a QR code graphic, are dropped at once and
// run until all are filed: tickets a minute, output images a second and the peak
// resident memory. Then a ticket of one print dropped into the idle processor: the
// time from its arrival in the hot folder to its filing as completed.
#include "BenchWorkTree.h"
#include "JobRoadFixtures.h"
#include "PhotoFixtures.h"
#include "core/image/ZORVAK_Image.h"
#include "platform/Error.h"
#include "platform/files/FileOperations.h"
#include "tools/KOVA_ExampleRun.h"
#include "workflow/folders/KOVA_JobFolders.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

namespace {

constexpr int batchTickets = 100;
constexpr int printsPerTicket = 2;
constexpr int distinctPhotos = 4;
const QSize photoSize(4000, 3000);
const QString twoPrints = QStringLiteral("TWOPRINTS");
const QString onePrint = QStringLiteral("ONEPRINT");
// Long enough for the slowest machine to file the batch; a batch not filed by then fails.
constexpr auto batchTimeLimit = std::chrono::minutes(15);
constexpr auto ticketTimeLimit = std::chrono::seconds(30);
// How often the benchmark looks whether a ticket was filed: the arrival-to-filed time
// is known to this.
constexpr auto filingPoll = std::chrono::milliseconds(2);

int entryCount(const QString& folder)
{
    return int(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size());
}

int fileCountBelow(const QString& folder)
{
    int count = 0;
    QDirIterator found(folder, QDir::Files, QDirIterator::Subdirectories);
    for (; found.hasNext(); found.next())
        ++count;
    return count;
}

// The processor of the benchmark's work tree, switched on and watching its hot folders;
// the packages of two prints and of one print read photos the tree holds.
class RunningProcessor {
public:
    static RunningProcessor& shared()
    {
        static RunningProcessor processor;
        return processor;
    }

    bool isValid() const { return !m_hotFolder.isEmpty(); }
    int completedCount() const { return entryCount(m_tree.completedFolder()); }
    int failedCount() const { return entryCount(m_tree.failedFolder()); }
    int filedCount() const { return completedCount() + failedCount(); }
    int deliveredCount() const { return fileCountBelow(m_tree.deliveredFolder()); }

    // Writes `count` tickets of the package `pluCode` beside the hot folder, then moves
    // them in one after the other, each whole with one rename; `arrival` starts at the
    // first rename.
    bool dropTickets(const QString& pluCode, int count, QElapsedTimer& arrival)
    {
        QStringList written;
        for (int index = 0; index < count; ++index) {
            const QString name = QStringLiteral("%1-%2.xml").arg(pluCode).arg(++m_ticketsMade, 4, 10, QLatin1Char('0'));
            if (!JobRoadFixtures::writeFile(m_tree.incomingFolder() + QLatin1Char('/') + name, ticket(pluCode, index).toUtf8()))
                return false;
            written.append(name);
        }
        arrival.start();
        return std::all_of(written.cbegin(), written.cend(), [this](const QString& name) {
            return platform::FileOperations::moveItemNoReplace(m_tree.incomingFolder() + QLatin1Char('/') + name,
                                                               m_hotFolder + QLatin1Char('/') + name);
        });
    }

    // Spins the event loop until the processor has filed `filed` tickets in all, or the
    // time limit passed; whether it has.
    bool waitUntilFiled(int filed, std::chrono::milliseconds limit) const
    {
        KOVA_ExampleRun::runUntil([&] { return filedCount() >= filed; }, limit, filingPoll);
        return filedCount() >= filed;
    }

    // Spins the event loop until no job runs and the hot folders hold no pending job.
    static void waitUntilIdle()
    {
        KOVA_ExampleRun::runUntil([] { return !KOVA_JobFolders::isProcessing() && KOVA_JobFolders::jobsPending().isEmpty(); },
                                  std::chrono::seconds(30));
    }

private:
    RunningProcessor()
        : m_tree(benchWorkTree())
    {
        const QString work = m_tree.root() + QStringLiteral("/Bench");
        const QString templates = work + QStringLiteral("/KOVA/Templates");
        const QString packages = work + QStringLiteral("/KOVA/Packages");
        const QString photos = m_tree.root() + QStringLiteral("/Photos");
        for (const QString& folder : {templates, packages, photos})
            QDir().mkpath(folder);
        const QString destination = QStringLiteral("<destination type=\"filepath\"><itempath>Path 1</itempath></destination>");
        if (!JobRoadFixtures::writePrintPackage(templates, packages + QStringLiteral("/Two Prints.xml"), twoPrints, printsPerTicket,
                                                destination)
            || !JobRoadFixtures::writePrintPackage(templates, packages + QStringLiteral("/One Print.xml"), onePrint, 1, destination)
            || !writePhotos(photos) || !m_tree.writePreferences(work))
            return;
        ZORVAK_Image::prepareForDrawing();
        KOVA_JobFolders::initialize();
        // The watchers start shortly after the folders load.
        KOVA_ExampleRun::runUntil(
            [] {
                const auto folders = KOVA_JobFolders::enabledFolders();
                return std::all_of(folders.cbegin(), folders.cend(), [](const auto& folder) { return folder->hasFileEvent(); });
            },
            std::chrono::seconds(10));
        m_hotFolder = KOVA_ExampleRun::bareTicketFolder();
    }

    bool writePhotos(const QString& folder)
    {
        for (int index = 0; index < distinctPhotos; ++index) {
            m_photos.append(folder + QStringLiteral("/photo%1.jpeg").arg(index + 1));
            if (!PhotoFixtures::writePhoto(m_photos.last(), PhotoFixtures::photoLikePicture(photoSize, 0x9E3779B9u * (index + 1))))
                return false;
        }
        return true;
    }

    // Ticket `index` of a drop: its prints show the next photos in turn.
    QString ticket(const QString& pluCode, int index) const
    {
        const int prints = pluCode == twoPrints ? printsPerTicket : 1;
        QStringList photos;
        for (int print = 0; print < prints; ++print)
            photos.append(m_photos.at((index * prints + print) % distinctPhotos));
        return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<data type=\"kova_job\" version=\"1.0\">"
                              "<package plucode=\"%1\">%2<caption>Summer 2026</caption></package></data>\n")
            .arg(pluCode, JobRoadFixtures::photoValues(photos));
    }

    const KOVA_RunTree& m_tree;
    QStringList m_photos;
    QString m_hotFolder;
    int m_ticketsMade = 0;
};

void HundredTicketsOfTwoPrints(benchmark::State& state)
{
    auto& processor = RunningProcessor::shared();
    if (!processor.isValid()) {
        state.SkipWithError("the processor could not be set up");
        return;
    }
    for (auto _ : state) {
        RunningProcessor::waitUntilIdle();
        const int filedBefore = processor.filedCount();
        const int failedBefore = processor.failedCount();
        const int deliveredBefore = processor.deliveredCount();
        JobRoadFixtures::resetPeakResidentMemory();
        QElapsedTimer timer;
        if (!processor.dropTickets(twoPrints, batchTickets, timer)
            || !processor.waitUntilFiled(filedBefore + batchTickets, batchTimeLimit)) {
            state.SkipWithError("the tickets were not all filed");
            return;
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        state.counters["peak_rss_mb"] = JobRoadFixtures::residentMegabytes("VmHWM");
        state.counters["tickets_per_min"] = batchTickets * 60 / seconds;
        state.counters["images_per_s"] = (processor.deliveredCount() - deliveredBefore) / seconds;
        // What the processor holds once the batch is done: freed heap handed back or kept.
        RunningProcessor::waitUntilIdle();
        state.counters["rss_after_mb"] = JobRoadFixtures::residentMegabytes("VmRSS");
        if (processor.failedCount() != failedBefore)
            state.SkipWithError("a ticket failed");
    }
    state.SetLabel("target: under 400 MB");
}
BENCHMARK(HundredTicketsOfTwoPrints)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

void OnePrintTicketArrivalToFiled(benchmark::State& state)
{
    auto& processor = RunningProcessor::shared();
    if (!processor.isValid()) {
        state.SkipWithError("the processor could not be set up");
        return;
    }
    double slowest = 0;
    for (auto _ : state) {
        RunningProcessor::waitUntilIdle();
        const int completed = processor.completedCount();
        const int filed = processor.filedCount();
        QElapsedTimer timer;
        if (!processor.dropTickets(onePrint, 1, timer) || !processor.waitUntilFiled(filed + 1, ticketTimeLimit)
            || processor.completedCount() != completed + 1) {
            state.SkipWithError("the ticket was not filed as completed");
            return;
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        slowest = std::max(slowest, seconds);
        state.SetIterationTime(seconds);
    }
    state.counters["slowest_ms"] = slowest * 1e3;
    state.SetLabel("target: filed within 1.5 s of arrival");
}
BENCHMARK(OnePrintTicketArrivalToFiled)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace
