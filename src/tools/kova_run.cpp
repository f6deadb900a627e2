// Runs the job processor without a window over a temporary work tree made from the
// examples: the example tickets are dropped into the hot folders, processed,
// delivered and filed; the program lists the delivered files and the filings and
// fails when a ticket meant to complete did not. With --tree the work tree is kept in
// FOLDER: a run stopped there, even killed, is started again with the same arguments
// and carries on with the tickets still pending.
//
//   kova_run [--tickets FOLDER] [--time-limit SECONDS] [--keep] [--tree FOLDER]
#include "KOVA_ExampleRun.h"
#include "KOVA_RunTree.h"
#include "core/image/ZORVAK_Image.h"
#include "platform/files/StandardPaths.h"
#include "workflow/processing/KOVA_Road.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdlib>
#include <memory>

namespace {
// The example tickets meant to be filed as failed.
const QStringList expectedFailures{QStringLiteral("Unknown Product.xml")};

QStringList argumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int index = 0; index < argc; ++index)
        arguments.append(QString::fromLocal8Bit(argv[index]));
    return arguments;
}
} // namespace

int main(int argc, char** argv)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringLiteral("help"), QStringLiteral("Show this help."));
    const QCommandLineOption timeLimit(QStringLiteral("time-limit"), QStringLiteral("Seconds to wait for every ticket to be filed."),
                                       QStringLiteral("seconds"), QStringLiteral("60"));
    const QString examples = QStringLiteral(KOVA_EXAMPLES_DIR);
    const QCommandLineOption tickets(QStringLiteral("tickets"), QStringLiteral("The folder of tickets to drop."), QStringLiteral("folder"),
                                     examples + QStringLiteral("/Tickets"));
    const QCommandLineOption keep(QStringLiteral("keep"), QStringLiteral("Keep the work tree after the run."));
    const QCommandLineOption treeFolder(QStringLiteral("tree"),
                                       QStringLiteral("Run in this work tree, kept: set up the first time, carried on with after."),
                                       QStringLiteral("folder"));
    parser.addOptions({tickets, timeLimit, keep, treeFolder, help});
    // Parsed before the application object exists, as the tree is made first; parsed
    // rather than processed, as processing would end the program without removing it.
    const bool parsed = parser.parse(argumentsOf(argc, argv));

    const auto tree = parsed && parser.isSet(treeFolder) ? std::make_unique<KOVA_RunTree>(parser.value(treeFolder))
                                                         : std::make_unique<KOVA_RunTree>();
    if (!tree->isValid())
        return 1;
    // Text is laid out without a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);

    if (!parsed || parser.isSet(help)) {
        QTextStream(stderr) << parser.errorText() << '\n' << parser.helpText();
        return parser.isSet(help) ? 0 : 2;
    }
    tree->setKept(parser.isSet(keep));
    platform::StandardPaths::removeStaleItemReplacementFolders();
    KOVA_Road::install();

    if (!tree->isSetUp() && !tree->writePreferences(examples))
        return 1;
    QTextStream(stdout) << "Work tree: " << tree->root() << Qt::endl;
    // The first job renders as fast as the later ones.
    ZORVAK_Image::prepareForDrawing();
    KOVA_ExampleRun run(*tree, {parser.value(tickets), expectedFailures, std::chrono::seconds(parser.value(timeLimit).toInt())});
    return run.run();
}
