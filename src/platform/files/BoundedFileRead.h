#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

// A file named by an untrusted path (a picture, a PDF, a template, a preference
// file) opened for reading so that no byte sequence or file type can hang or
// exhaust the reader: the path is opened without blocking (a FIFO cannot hold
// the open), links are followed, and anything but a regular file of at most the
// caller's size limit is refused, judged on the opened descriptor itself. A
// refusal is an Error naming the path and the reason. Libraries that open paths
// themselves are handed the bytes instead.
class BoundedFileRead {
public:
    BoundedFileRead(const QString& path, qint64 maximumSize);
    ~BoundedFileRead();
    BoundedFileRead(const BoundedFileRead&) = delete;
    BoundedFileRead& operator=(const BoundedFileRead&) = delete;

    // Whether the path is an opened regular file within the limit; else error() says why.
    bool isOpen() const { return m_descriptor >= 0; }
    const Error& error() const { return m_error; }
    // The file's size when it was opened.
    qint64 size() const { return m_size; }

    // Up to `length` bytes from `offset` (fewer at the end of the file); none,
    // with error() set, when reading fails.
    std::optional<QByteArray> readAt(qint64 offset, qint64 length);
    // The whole file; refused when it has grown beyond the limit since it was opened.
    std::optional<QByteArray> readAll();
    // The whole file into `memory`, which holds size() bytes; false, with error()
    // set, when reading fails or the file no longer holds the size it had when
    // opened (it changed while it was read).
    bool readWholeInto(char* memory);

    // The whole file at `path`, refused as above when it is no regular file of at
    // most `maximumSize` bytes.
    static std::optional<QByteArray> contents(const QString& path, qint64 maximumSize, Error* error = nullptr);

private:
    void refuse(const Error& error);

    QString m_path;
    qint64 m_maximumSize;
    qint64 m_size = 0;
    int m_descriptor = -1;
    Error m_error;
};

} // namespace platform
