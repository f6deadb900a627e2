#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace kova::test {

// The opening of a python3 script that reads a keyed archive from its standard input:
// `archive`, its `objects`, `follow(uid)` for the object a reference names and
// `chain(item)` for an object's class chain ("A,B,NSObject").
inline const QString ArchiveReading = QStringLiteral(R"(
import plistlib, sys
archive = plistlib.loads(sys.stdin.buffer.read())
objects = archive['$objects']
follow = lambda uid: objects[uid.data]
chain = lambda item: ','.join(follow(item['$class'])['$classes'])
)");

// What a python3 script (Python's plistlib is the independent reader of archives and
// property lists) writes to its standard output, given `input` on its standard input.
inline QByteArray runPython(const QString& script, const QByteArray& input = {}, const QStringList& arguments = {})
{
    QProcess python;
    python.start(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), script} + arguments);
    python.write(input);
    python.closeWriteChannel();
    EXPECT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return python.readAllStandardOutput();
}

// The lines of what the script writes, without their ends: for a script that answers every
// case of a test in one run, a line a case, since starting python3 costs far more than a case.
inline QList<QByteArray> pythonLines(const QString& script, const QByteArray& input = {},
                                     const QStringList& arguments = {})
{
    QList<QByteArray> lines = runPython(script, input, arguments).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace kova::test
