#pragma once

// The DNP tables as the tests know them: Markdown tables kept under tests/data/dnp, a second
// copy written apart from the code, and packets written out by hand in hexadecimal.

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kova::test::dnp {

inline QString dataPath(const QString& name)
{
    return QStringLiteral(KOVA_TEST_DATA_DIR "/dnp/") + name;
}

inline QByteArray dataFile(const QString& name)
{
    QFile file(dataPath(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

// The cells of each body row of a Markdown table (the heading and rule rows left out).
inline std::vector<QStringList> tableRows(const QString& name)
{
    std::vector<QStringList> rows;
    const QList<QByteArray> lines = dataFile(name).split('\n');
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (!line.startsWith(u'|'))
            continue;
        QStringList cells = line.mid(1, line.size() - 2).split(u'|');
        for (QString& cell : cells)
            cell = cell.trimmed();
        rows.push_back(cells);
    }
    EXPECT_FALSE(rows.empty()) << name.toStdString();
    return rows;
}

// The texts in double quotes in a cell, in order.
inline QStringList quotedTexts(const QString& cell)
{
    static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
    QStringList texts;
    for (const auto& match : quoted.globalMatch(cell))
        texts.append(match.captured(1));
    return texts;
}

// The codes of a list such as "6, 7, 13 to 21, 25" or a single "38 to 41"; words such as
// "empty" hold none.
inline std::vector<uint32_t> codeList(const QString& cell)
{
    std::vector<uint32_t> codes;
    for (const QString& item : cell.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        const QStringList ends = item.split(QStringLiteral(" to "));
        bool first = false;
        bool last = false;
        const uint32_t from = ends.first().toUInt(&first);
        const uint32_t to = ends.last().toUInt(&last);
        for (uint32_t code = from; first && last && code <= to; ++code)
            codes.push_back(code);
    }
    return codes;
}

// The bytes of a hexadecimal fixture; "#" starts a comment to the end of the line.
inline QByteArray hexFixture(const QString& name)
{
    QByteArray hex;
    for (const QByteArray& line : dataFile(name).split('\n'))
        hex += line.left(line.indexOf('#') < 0 ? line.size() : line.indexOf('#'));
    return QByteArray::fromHex(hex.simplified().replace(' ', ""));
}

} // namespace kova::test::dnp
