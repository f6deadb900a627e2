#pragma once

#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace kova::test {

// Runs one test of this test program in child processes and kills them at
// random moments of their work, as a power cut or an impatient operator would.
// The child test runs only where its variable is set, and calls startsWork()
// when its work begins. Killed children keep their sandbox inside this
// process's, which removes it at exit.
class KilledChild {
public:
    KilledChild(QString testName, const char* variable)
        : m_testName(std::move(testName))
        , m_variable(QString::fromLatin1(variable))
    {
    }

    // In the child: tells the parent that the work begins.
    static void startsWork()
    {
        std::fputs(workMarker, stdout);
        std::fflush(stdout);
    }

    // Starts one child for each value, with the variable set to it, and kills
    // each at a random moment within `longest` after all began their work.
    // Answers how many were still at work when they were killed.
    int runAndKill(const QStringList& values, std::chrono::milliseconds longest)
    {
        const Children children = start(values);
        const int atWork = killAtRandomMoments(children, longest);
        for (const auto& child : children) {
            child->kill();
            child->waitForFinished();
        }
        return atWork;
    }

    // Starts one child with the variable set to `value` and lets it end by itself:
    // its exit code (-1 when it did not end normally) and standard error.
    std::pair<int, QString> runToEnd(const QString& value) const
    {
        QProcess child;
        child.setProcessEnvironment(environment(value));
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + m_testName});
        const bool ended = child.waitForFinished(60000) && child.exitStatus() == QProcess::NormalExit;
        return {ended ? child.exitCode() : -1, QString::fromLocal8Bit(child.readAllStandardError())};
    }

    // The folder the children take as their temporary folder.
    static QString childrenTemporaryFolder() { return sandboxRoot() + QStringLiteral("/children"); }

private:
    static constexpr const char* workMarker = "child starts its work\n";

    using Children = std::vector<std::unique_ptr<QProcess>>;

    Children start(const QStringList& values) const
    {
        Children children;
        for (const QString& value : values) {
            children.push_back(std::make_unique<QProcess>());
            children.back()->setProcessEnvironment(environment(value));
            children.back()->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + m_testName});
        }
        return children;
    }

    int killAtRandomMoments(const Children& children, std::chrono::milliseconds longest)
    {
        std::vector<std::pair<qint64, QProcess*>> moments;
        for (const auto& child : children) {
            if (waitForWork(*child))
                moments.emplace_back(std::uniform_int_distribution<qint64>(0, longest.count())(m_random), child.get());
        }
        std::sort(moments.begin(), moments.end());
        QElapsedTimer clock;
        clock.start();
        int atWork = 0;
        for (const auto& [moment, child] : moments) {
            atWork += child->waitForFinished(int(std::max<qint64>(0, moment - clock.elapsed()))) ? 0 : 1;
            child->kill();
        }
        return atWork;
    }

    QProcessEnvironment environment(const QString& value) const
    {
        const QString temporary = childrenTemporaryFolder();
        QDir().mkpath(temporary);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(m_variable, value);
        environment.insert(QStringLiteral("TMPDIR"), temporary);
        return environment;
    }

    static bool waitForWork(QProcess& child)
    {
        QByteArray output;
        while (!output.contains(workMarker)) {
            if (!child.waitForReadyRead(30000))
                return false;
            output += child.readAllStandardOutput();
        }
        return true;
    }

    const QString m_testName;
    const QString m_variable;
    std::mt19937 m_random{std::random_device{}()};
};

} // namespace kova::test
