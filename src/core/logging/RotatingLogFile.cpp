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
    : path_(path)
    , reportDescriptor_(reportDescriptor)
{
}

RotatingLogFile::~RotatingLogFile()
{
    close();
}

bool RotatingLogFile::open()
{
    makeFolder();
    descriptor_ = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (descriptor_ < 0) {
        const int code = errno;
        reportFailure(code, channelText("make error (log path) in %s: %s", Q_FUNC_INFO, code));
        return false;
    }
    return true;
}

void RotatingLogFile::append(QByteArrayView bytes)
{
    if (descriptor_ < 0 && !open()) {
        platform::Log::writeAll(reportDescriptor_, bytes);
        return;
    }
    if (!platform::Log::writeAll(descriptor_, bytes)) {
        const int code = errno;
        reportFailure(code, channelText("write Error (log) in %s: %s", Q_FUNC_INFO, code));
        platform::Log::writeAll(reportDescriptor_, bytes);
        return;
    }
    failing_ = false;
    struct stat status {};
    if (::fstat(descriptor_, &status) == 0 && status.st_size >= nextRotation_)
        rotate(status.st_size);
}

void RotatingLogFile::rotate(qint64 size)
{
    close();
    const QString oldLog = oldLogPath(path_);
    if (::rename(QFile::encodeName(path_).constData(), QFile::encodeName(oldLog).constData()) != 0) {
        const int code = errno;
        const QByteArray file = QUrl::fromLocalFile(path_).toEncoded();
        reportIoError(code, QString::asprintf("%s Failed to move file %s (%s)", Q_FUNC_INFO, file.constData(), std::strerror(code)));
        // Keep the full log and go on appending to it; try again one rotation size later.
        nextRotation_ = size + rotationSize;
    } else {
        nextRotation_ = rotationSize;
    }
    open();
}

void RotatingLogFile::close()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
}

void RotatingLogFile::reportIoError(int code, const QString& text) const
{
    const platform::Error error{platform::Error::POSIXDomain, code, text};
    platform::Log::logToDescriptor(reportDescriptor_, QStringLiteral("an io error has occurred: ") + error.description());
}

void RotatingLogFile::reportFailure(int code, const QString& text)
{
    if (!failing_)
        reportIoError(code, text);
    failing_ = true;
}

void RotatingLogFile::makeFolder() const
{
    const std::filesystem::path folder = QFile::encodeName(QFileInfo(path_).absolutePath()).toStdString();
    std::error_code failure;
    if (!std::filesystem::is_directory(folder, failure))
        std::filesystem::create_directories(folder, failure);
    if (failure && !failing_) // the open that follows fails as well and marks the failure
        platform::Log::logToDescriptor(reportDescriptor_, platform::Error::fromErrno(failure.value(), QFile::decodeName(folder.c_str())).description());
}

QString RotatingLogFile::oldLogPath(const QString& path)
{
    const QFileInfo file(path);
    return file.path() + QLatin1Char('/') + file.completeBaseName() + QStringLiteral(".old.log");
}
