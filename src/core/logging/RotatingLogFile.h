#pragma once

#include <QByteArrayView>
#include <QString>

// The file that receives captured output. Once a write takes it to the rotation
// size, it is renamed to "<name>.old.log" (replacing an older one) and a new
// file is started under the usual name. Problems are reported on a separate
// descriptor, never into the output being captured.
class RotatingLogFile {
public:
    static constexpr qint64 rotationSize = 0xA00000; // 10,485,760 bytes

    // `reportDescriptor` stays owned by the caller and must outlive the file.
    RotatingLogFile(const QString& path, int reportDescriptor);
    ~RotatingLogFile();
    RotatingLogFile(const RotatingLogFile&) = delete;
    RotatingLogFile& operator=(const RotatingLogFile&) = delete;

    // Opens the file for appending, creating it and its folders; false (reported)
    // when it cannot.
    bool open();
    // Appends the bytes and rotates when the file has reached the rotation size.
    // Bytes that cannot reach the file go to the report descriptor instead.
    void append(QByteArrayView bytes);

    // Logs "an io error has occurred: <error>" for a POSIX error code and text.
    void reportIoError(int code, const QString& text) const;

    // "<folder>/<name without extension>.old.log".
    static QString oldLogPath(const QString& path);

private:
    void rotate(qint64 size);
    void close();
    void reportFailure(int code, const QString& text);
    void makeFolder() const;

    const QString m_path;
    const int m_reportDescriptor;
    int m_descriptor = -1;
    // The size at which the next rotation is due: moved on past a failed rename
    // so that one failure is reported once, not after every write.
    qint64 m_nextRotation = rotationSize;
    // Set while opening or writing fails, so that a lasting fault is reported once.
    bool m_failing = false;
};
