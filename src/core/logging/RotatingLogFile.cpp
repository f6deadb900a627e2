#include "core/logging/RotatingLogFile.h"

#include "platform/Error.h"
#include "platform/Log.h"

#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Fills a pattern's two "%s" with the reporting routine and the system's text for the code.
QString channelText(const char* pattern, const char* routine, int code)
{
    return QString::asprintf(pattern, routine, std::strerror(code));
}
} // namespace

RotatingLogFile::RotatingLogFile(const QString& path, int reportDescriptor)
    : m_path(path)
    , m_reportDescriptor(reportDescriptor)
{
}

RotatingLogFile::~RotatingLogFile()
{
    close();
}

bool RotatingLogFile::open()
{
    makeFolder();
    m_descriptor = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (m_descriptor < 0) {
        const int code = errno;
        reportFailure(code, channelText("make error (log path) in %s: %s", Q_FUNC_INFO, code));
        return false;
    }
    return true;
}

void RotatingLogFile::append(QByteArrayView bytes)
{
    if (m_descriptor < 0 && !open()) {
        platform::Log::writeAll(m_reportDescriptor, bytes);
        return;
    }
    if (!platform::Log::writeAll(m_descriptor, bytes)) {
        const int code = errno;
        reportFailure(code, channelText("write Error (log) in %s: %s", Q_FUNC_INFO, code));
        platform::Log::writeAll(m_reportDescriptor, bytes);
        return;
    }
    m_failing = false;
    struct stat status {};
    if (::fstat(m_descriptor, &status) == 0 && status.st_size >= m_nextRotation)
        rotate(status.st_size);
}

void RotatingLogFile::rotate(qint64 size)
{
    close();
    const QString oldLog = oldLogPath(m_path);
    if (::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(oldLog).constData()) != 0) {
        const int code = errno;
        const QByteArray file = QUrl::fromLocalFile(m_path).toEncoded();
        reportIoError(code, QString::asprintf("%s Failed to move file %s (%s)", Q_FUNC_INFO, file.constData(), std::strerror(code)));
        // Keep the full log and go on appending to it; try again one rotation size later.
        m_nextRotation = size + rotationSize;
    } else {
        m_nextRotation = rotationSize;
    }
    open();
}

void RotatingLogFile::close()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
}

void RotatingLogFile::reportIoError(int code, const QString& text) const
{
    const platform::Error error{platform::Error::POSIXDomain, code, text};
    platform::Log::logToDescriptor(m_reportDescriptor, QStringLiteral("an io error has occurred: ") + error.description());
}

void RotatingLogFile::reportFailure(int code, const QString& text)
{
    if (!m_failing)
        reportIoError(code, text);
    m_failing = true;
}

void RotatingLogFile::makeFolder() const
{
    const std::filesystem::path folder = QFile::encodeName(QFileInfo(m_path).absolutePath()).toStdString();
    std::error_code failure;
    if (!std::filesystem::is_directory(folder, failure))
        std::filesystem::create_directories(folder, failure);
    if (failure && !m_failing) // the open that follows fails as well and marks the failure
        platform::Log::logToDescriptor(m_reportDescriptor, platform::Error::fromErrno(failure.value(), QFile::decodeName(folder.c_str())).description());
}

QString RotatingLogFile::oldLogPath(const QString& path)
{
    const QFileInfo file(path);
    return file.path() + QLatin1Char('/') + file.completeBaseName() + QStringLiteral(".old.log");
}
