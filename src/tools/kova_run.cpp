// Runs the job processor without a window over a temporary work tree made from the
// examples: the example tickets are dropped into the hot folders, processed,
// delivered and filed; the program lists the delivered files and the filings and
// fails when a ticket meant to complete did not.
//
//   kova_run [--tickets FOLDER] [--time-limit SECONDS] [--keep]
#include "KOVA_ExampleRun.h"
#include "KOVA_RunTree.h"
#include "core/image/ZORVAK_Image.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdlib>

namespace {
// The example tickets meant to be filed as failed.
const QStringList expectedFailures{QStringLiteral("Unknown Product.xml")};
} // namespace

int main(int argc, char** argv)
{
    KOVA_RunTree tree;
    if (!tree.isValid())
        return 1;
    // Text is laid out without a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    const QCommandLineOption help(QStringLiteral("help"), QStringLiteral("Show this help."));
    const QCommandLineOption timeLimit(QStringLiteral("time-limit"), QStringLiteral("Seconds to wait for every ticket to be filed."),
                                       QStringLiteral("seconds"), QStringLiteral("60"));
    const QString examples = QStringLiteral(KOVA_EXAMPLES_DIR);
    const QCommandLineOption tickets(QStringLiteral("tickets"), QStringLiteral("The folder of tickets to drop."), QStringLiteral("folder"),
                                     examples + QStringLiteral("/Tickets"));
    const QCommandLineOption keep(QStringLiteral("keep"), QStringLiteral("Keep the work tree after the run."));
    parser.addOptions({tickets, timeLimit, keep, help});
    // Parsed rather than processed: processing would end the program without removing the tree.
    if (!parser.parse(QCoreApplication::arguments()) || parser.isSet(help)) {
        QTextStream(stderr) << parser.errorText() << '\n' << parser.helpText();
        return parser.isSet(help) ? 0 : 2;
    }
    tree.setKept(parser.isSet(keep));

    if (!tree.writePreferences(examples))
        return 1;
    QTextStream(stdout) << "Work tree: " << tree.root() << Qt::endl;
    // The first job renders as fast as the later ones.
    ZORVAK_Image::prepareForDrawing();
    KOVA_ExampleRun run(tree, {parser.value(tickets), expectedFailures, std::chrono::seconds(parser.value(timeLimit).toInt())});
    return run.run();
}
