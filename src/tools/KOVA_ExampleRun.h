#pragma once

#include <QStringList>

#include <chrono>
#include <functional>

class KOVA_RunTree;

// Drops the example tickets into the hot folders of a work tree, or finds them there
// when the tree was set up by an earlier run, and runs the main event loop until each
// is filed or the time limit passes, then tells what was delivered and where each
// ticket was filed. Every example ticket is meant to be completed except those named
// in `expectedFailures`.
class KOVA_ExampleRun {
public:
    struct Settings {
        QString tickets; // the folder of example tickets
        QStringList expectedFailures; // ticket names that are meant to be filed as failed
        std::chrono::milliseconds timeLimit;
    };

    KOVA_ExampleRun(const KOVA_RunTree& tree, Settings settings);

    // Drops the tickets (or carries on with them), runs the event loop, then switches
    // the processor off. Gives the program's exit status: 0 when every ticket was
    // filed as meant, else 1.
    int run();

    // Runs the main event loop until `done` holds (checked every `poll`) or `limit` passes.
    static void runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
                         std::chrono::milliseconds poll = std::chrono::milliseconds(100));
    // The enabled hot folder that takes bare XML tickets; empty when there is none.
    static QString bareTicketFolder();

private:
    bool dropTickets();
    bool carryOn();
    bool drop(const QString& name, const QString& hotFolder);
    bool allFiled() const;
    void report() const;
    // Where a ticket was filed: "completed", "failed" or "not filed".
    QString filing(const QString& ticket) const;
    bool filedAsMeant(const QString& ticket) const;
    void listFiles(const QString& title, const QString& folder) const;

    const KOVA_RunTree& m_tree;
    Settings m_settings;
    QStringList m_dropped;
};
