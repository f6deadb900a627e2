#include "KOVA_ExampleRun.h"

#include "KOVA_RunTree.h"

#include "core/foundation/KOVA_Constants.h"
#include "platform/Error.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/FileOperations.h"
#include "workflow/folders/KOVA_JobFolders.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

namespace {

const QString bareTicketType = QStringLiteral("public.xml");
const QString notFiled = QStringLiteral("not filed");

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

QString bundleFolder()
{
    const auto folder = KOVA_JobFolders::defaultJobFolder();
    return folder ? folder->jobsFolderURL().toLocalFile() : QString();
}

// A filed ticket keeps its base name and extension around the filing stamp:
// "Order 1001.20250303-140509.kovajob", "order.20250303-140509-1.xml".
bool isFilingOf(const QString& filed, const QString& ticket)
{
    const QFileInfo info(ticket);
    const QString extension = info.suffix().isEmpty() ? QString() : QStringLiteral("\\.") + QRegularExpression::escape(info.suffix());
    const QRegularExpression filing(QStringLiteral("^%1\\.2[01][0-9]{6}-[0-9]{6}(-[0-9]+)?%2$")
                                        .arg(QRegularExpression::escape(info.completeBaseName()), extension));
    return filing.match(filed).hasMatch();
}

} // namespace

KOVA_ExampleRun::KOVA_ExampleRun(const KOVA_RunTree& tree, Settings settings)
    : m_tree(tree)
    , m_settings(std::move(settings))
{
}

int KOVA_ExampleRun::run()
{
    if (!(m_tree.isSetUp() ? carryOn() : dropTickets() && m_tree.markSetUp()))
        return 1;
    runUntil([this] { return allFiled(); }, m_settings.timeLimit);
    // A job still running at the time limit ends before the tree goes.
    platform::UserDefaults::standardUserDefaults()->setBool(false, key_kovaProcessorIsRunning);
    runUntil([] { return !KOVA_JobFolders::isProcessing(); }, std::chrono::seconds(30));
    report();
    return std::all_of(m_dropped.cbegin(), m_dropped.cend(), [this](const QString& ticket) { return filedAsMeant(ticket); }) ? 0 : 1;
}

void KOVA_ExampleRun::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit, std::chrono::milliseconds poll)
{
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    timer.start(poll);
    loop.exec();
}

QString KOVA_ExampleRun::bareTicketFolder()
{
    const auto folders = KOVA_JobFolders::enabledFolders();
    const auto found = std::find_if(folders.cbegin(), folders.cend(),
                                    [](const auto& folder) { return folder->jobFileUTType() == bareTicketType; });
    return found == folders.cend() ? QString() : (*found)->jobsFolderURL().toLocalFile();
}

bool KOVA_ExampleRun::dropTickets()
{
    KOVA_JobFolders::initialize();
    const QString bare = bareTicketFolder();
    const QString bundles = bundleFolder();
    if (bare.isEmpty() || bundles.isEmpty()) {
        platform::Log::error(QStringLiteral("no hot folder for tickets (%1) or job bundles (%2)").arg(bare, bundles));
        return false;
    }
    for (const QString& name : entries(m_settings.tickets)) {
        const bool isBundle = QFileInfo(m_settings.tickets + QLatin1Char('/') + name).isDir();
        if (!drop(name, isBundle ? bundles : bare))
            return false;
        m_dropped.append(name);
    }
    return !m_dropped.isEmpty();
}

// A tree set up before holds the tickets already, pending or filed: the processor
// runs again over them.
bool KOVA_ExampleRun::carryOn()
{
    platform::UserDefaults::standardUserDefaults()->setBool(true, key_kovaProcessorIsRunning);
    KOVA_JobFolders::initialize();
    m_dropped = entries(m_settings.tickets);
    return !m_dropped.isEmpty();
}

// Copied into the tree first, then renamed into the hot folder: the watcher never sees
// half a ticket. A set-up cut short by a kill is carried on with: a ticket that landed
// (pending, or filed meanwhile) is not dropped again, and the copy it left is made anew.
bool KOVA_ExampleRun::drop(const QString& name, const QString& hotFolder)
{
    const QString dropped = hotFolder + QLatin1Char('/') + name;
    if (QFileInfo::exists(dropped) || filing(name) != notFiled)
        return true;
    const QString copy = m_tree.incomingFolder() + QLatin1Char('/') + name;
    platform::Error error;
    if ((QFileInfo::exists(copy) && !platform::FileOperations::removeItem(copy, &error)) || !QDir().mkpath(hotFolder)
        || !platform::FileOperations::copyItem(m_settings.tickets + QLatin1Char('/') + name, copy, &error)
        || !platform::FileOperations::moveItemNoReplace(copy, dropped, &error)) {
        platform::Log::error(QStringLiteral("could not drop %1 into %2 (error:%3)").arg(name, hotFolder, error.description()));
        return false;
    }
    return true;
}

bool KOVA_ExampleRun::allFiled() const
{
    return !KOVA_JobFolders::isProcessing()
           && entries(m_tree.completedFolder()).size() + entries(m_tree.failedFolder()).size() >= m_dropped.size();
}

QString KOVA_ExampleRun::filing(const QString& ticket) const
{
    const auto filedIn = [&ticket](const QString& folder) {
        const QStringList filed = entries(folder);
        return std::any_of(filed.cbegin(), filed.cend(), [&ticket](const QString& name) { return isFilingOf(name, ticket); });
    };
    if (filedIn(m_tree.completedFolder()))
        return QStringLiteral("completed");
    return filedIn(m_tree.failedFolder()) ? QStringLiteral("failed") : notFiled;
}

bool KOVA_ExampleRun::filedAsMeant(const QString& ticket) const
{
    return filing(ticket) == (m_settings.expectedFailures.contains(ticket) ? QStringLiteral("failed") : QStringLiteral("completed"));
}

void KOVA_ExampleRun::listFiles(const QString& title, const QString& folder) const
{
    QStringList files;
    QDirIterator found(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (found.hasNext())
        files.append(QDir(m_tree.root()).relativeFilePath(found.next()));
    files.sort();
    QTextStream out(stdout);
    out << title << " (" << files.size() << "):\n";
    for (const QString& file : files)
        out << "  " << file << '\n';
}

void KOVA_ExampleRun::report() const
{
    listFiles(QStringLiteral("Delivered files"), m_tree.deliveredFolder());
    listFiles(QStringLiteral("Print jobs"), m_tree.printCentreFolder());
    QTextStream out(stdout);
    out << "Tickets:\n";
    for (const QString& ticket : m_dropped) {
        const QString meant = m_settings.expectedFailures.contains(ticket) ? QStringLiteral("failed") : QStringLiteral("completed");
        out << "  " << ticket << ": " << filing(ticket) << (filedAsMeant(ticket) ? QString() : QStringLiteral(" (meant: %1)").arg(meant))
            << '\n';
    }
}
