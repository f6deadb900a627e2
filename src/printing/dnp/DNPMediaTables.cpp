#include "printing/dnp/DNPMediaTables.h"

#include <QHash>

namespace {

const QString DNPPrefix = QStringLiteral("dnp");
constexpr qint32 DefaultMediaCode = 20;

const QHash<QString, qint32>& multicutsByPaperName()
{
    static const QHash<QString, qint32> multicuts{
        {QStringLiteral("6x8"), 4},  {QStringLiteral("8x10"), 6}, {QStringLiteral("8x12"), 7},  {QStringLiteral("6x4"), 2},
        {QStringLiteral("6x9"), 5},  {QStringLiteral("6x4.5"), 30}, {QStringLiteral("5x3.5"), 1}, {QStringLiteral("5x7"), 3},
        {QStringLiteral("6x6"), 27}, {QStringLiteral("5x5"), 29}, {QStringLiteral("8x4"), 8},   {QStringLiteral("8x5"), 9},
        {QStringLiteral("8x6"), 10}, {QStringLiteral("8x8"), 11},
    };
    return multicuts;
}

// The media each defined multicut needs.
const QHash<qint32, qint32>& mediaCodesByMulticut()
{
    static const QHash<qint32, qint32> media{
        {1, 20},  {2, 30},  {3, 21},  {4, 31},  {5, 40},  {6, 50},  {7, 51},  {8, 50},  {9, 50},  {10, 50},
        {11, 50}, {12, 31}, {13, 50}, {14, 50}, {15, 51}, {16, 50}, {17, 50}, {18, 51}, {19, 51}, {20, 51},
        {21, 51}, {22, 21}, {25, 51}, {26, 51}, {27, 31}, {28, 51}, {29, 21}, {30, 40}, {31, 40}, {32, 50},
        {33, 50}, {34, 60}, {35, 60}, {37, 60}, {38, 60}, {39, 60}, {40, 60}, {41, 60}, {43, 60}, {64, 20},
        {65, 20}, {66, 30}, {68, 31}, {91, 31}, {93, 21}, {95, 31},
    };
    return media;
}

} // namespace

qint32 dnp_multicutForNamedPaperSize(const QString& paperName)
{
    const QString name = paperName.startsWith(DNPPrefix) ? paperName.mid(DNPPrefix.size()) : paperName;
    return multicutsByPaperName().value(name, 0);
}

qint32 dnp_mediaCodeForMultiCut(qint32 multicut)
{
    return mediaCodesByMulticut().value(multicut, DefaultMediaCode);
}
