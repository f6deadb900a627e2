#pragma once

// The files that must never be read as pictures, PDFs, templates or preferences,
// and the check every reader of untrusted paths passes: each is refused at once,
// with an error or a logged line naming the path and the reason, never read
// without end and never waited on.

#include "FileFixtures.h"

#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kova::test {

// A reader of files from paths, as the check below drives it.
struct PathReader {
    const char* name;
    // Its size limit: the oversized file is one byte longer (sparse, so made at once).
    qint64 maximumSize;
    // Where it expects its file, for a file named after `kind`.
    std::function<QString(const QString& kind)> place;
    // Reads the file at `path`; what it reported (its error's text or its log).
    std::function<QString(const QString& path)> read;
};

// What `run` writes to standard error.
inline QString loggedBy(const std::function<void()>& run)
{
    testing::internal::CaptureStderr();
    run();
    return QString::fromStdString(testing::internal::GetCapturedStderr());
}

// Runs `read` on a thread of its own; true when it returns within `timeout`. A
// read left waiting on the FIFO at `fifo` is let go afterwards by opening the
// FIFO's other end, so that a failing test does not hang the run.
inline bool returnsWithin(const std::function<void()>& read, const QString& fifo, std::chrono::seconds timeout)
{
    auto returned = std::make_shared<std::promise<void>>();
    std::future<void> done = returned->get_future();
    std::thread([read, returned] {
        read();
        returned->set_value();
    }).detach();
    if (done.wait_for(timeout) == std::future_status::ready)
        return true;
    if (const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); writer >= 0)
        ::close(writer);
    done.wait_for(timeout);
    return false;
}

inline void expectSpecialFilesRefused(const PathReader& reader)
{
    const QString notRegular = QStringLiteral("not a regular file");
    const struct {
        const char* kind;
        QString reason;
        std::function<bool(const QByteArray& path)> make;
    } specialFiles[] = {
        {"fifo", notRegular, [](const QByteArray& path) { return ::mkfifo(path.constData(), 0600) == 0; }},
        {"zero-link", notRegular, [](const QByteArray& path) { return ::symlink("/dev/zero", path.constData()) == 0; }},
        {"folder", notRegular, [](const QByteArray& path) { return ::mkdir(path.constData(), 0700) == 0; }},
        {"oversized", QStringLiteral("too large"), [&](const QByteArray& path) {
             const int file = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
             const bool sized = file >= 0 && ::ftruncate(file, reader.maximumSize + 1) == 0;
             return ::close(file) == 0 && sized;
         }},
    };
    for (const auto& special : specialFiles) {
        SCOPED_TRACE(std::string(reader.name) + ": " + special.kind);
        const QString path = reader.place(QString::fromLatin1(special.kind));
        ::remove(QFile::encodeName(path).constData()); // what a failed reader before left there
        ASSERT_TRUE(special.make(QFile::encodeName(path)));
        auto reported = std::make_shared<QString>();
        ASSERT_TRUE(returnsWithin([read = reader.read, path, reported] { *reported = read(path); }, path, std::chrono::seconds(20)));
        EXPECT_TRUE(reported->contains(path) && reported->contains(special.reason)) << reported->toStdString();
        ::remove(QFile::encodeName(path).constData());
    }
}

} // namespace kova::test
