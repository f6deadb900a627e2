#pragma once

// Small helpers the file-system tests share: a private folder inside the test
// sandbox, plain file reading and writing, staging items and their age, a scoped
// environment variable and a scoped working folder.

#include "TestEnvironment.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <ostream>
#include <sys/stat.h>

// Lets test failures show text as text.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace kova::test {

// A fresh folder inside the sandbox, removed with its contents afterwards.
class ScratchFolder {
public:
    explicit ScratchFolder(const QString& base = sandboxRoot())
        : m_folder(base + QStringLiteral("/scratch-XXXXXX"))
    {
    }
    bool isValid() const { return m_folder.isValid(); }
    QString path() const { return m_folder.path(); }
    QString path(const QString& relative) const { return m_folder.path() + QLatin1Char('/') + relative; }

private:
    QTemporaryDir m_folder;
};

inline bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

inline QUrl fileUrl(const QString& path)
{
    return QUrl::fromLocalFile(path);
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every name in the folder, hidden ones included, sorted.
inline QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// The hidden ".kova-" items the file operations stage their work in, sorted.
inline QStringList stagingItemsIn(const QString& folder)
{
    return entriesOf(folder).filter(QRegularExpression(QStringLiteral("^\\.kova-")));
}

// Makes the item (not what a link points to) look unchanged for `age`.
inline bool makeOld(const QString& path, std::chrono::seconds age)
{
    const struct timespec then{std::time(nullptr) - age.count(), 0};
    const struct timespec times[2] = {then, then};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

// Sets (or with no value, unsets) an environment variable for one scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::optional<QString>& value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_previous = QByteArray(old);
        if (value)
            setenv(name, value->toLocal8Bit().constData(), 1);
        else
            unsetenv(name);
    }
    ~ScopedEnvironment()
    {
        if (m_previous)
            setenv(m_name, m_previous->constData(), 1);
        else
            unsetenv(m_name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_previous;
};

// Runs with `folder` as the process's working folder, and goes back to the one before.
class WorkingFolder {
public:
    explicit WorkingFolder(const QString& folder)
    {
        if (!folder.isEmpty()) {
            EXPECT_TRUE(QDir().mkpath(folder) && QDir::setCurrent(folder));
        }
    }
    ~WorkingFolder() { QDir::setCurrent(m_previous); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    const QString m_previous = QDir::currentPath();
};

} // namespace kova::test
