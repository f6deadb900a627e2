#include "printing/dnp/DNPMediaTables.h"

#include "platform/text/StringValues.h"
#include "printing/dnp/DNPTableLookup.h"

#include <algorithm>

namespace {

using DNPTables::findRow;
using DNPTables::NamedCode;
using DNPTables::nameForCode;
using DNPTables::withoutPrefix;

constexpr qint32 DefaultMediaCode = 20;
const QString DNPPrefix = QStringLiteral("dnp");
const QString MediaTypePrefix = QStringLiteral("MT");

struct Multicut {
    qint32 code;
    double width;
    double height;
    const char* paperName;
    qint32 media;
};

// Every multicut the printers define; 64 and 65 are the strips inside 66, 68, 91 and 93.
const Multicut Multicuts[] = {
    {1, 1548, 1088, "5 x 3.5", 20},
    {2, 1844, 1240, "6 x 4", 30},
    {3, 1548, 2138, "5 x 7", 21},
    {4, 1844, 2436, "6 x 8", 31},
    {5, 1844, 2740, "6 x 9", 40},
    {6, 2448, 3036, "8 x 10", 50},
    {7, 2448, 3636, "8 x 12", 51},
    {8, 2448, 1236, "8 x 4", 50},
    {9, 2448, 1536, "8 x 5", 50},
    {10, 2448, 1836, "8 x 6", 50},
    {11, 2448, 2436, "8 x 8", 50},
    {12, 1844, 2498, "6 x 4 (x2)", 31},
    {13, 2448, 2502, "8 x 4 (x2)", 50},
    {14, 2448, 3102, "8 x 5 (x2)", 50},
    {15, 2448, 3702, "8 x 6 (x2)", 51},
    {16, 2448, 2802, "(8 x 5) + (8 x 4)", 50},
    {17, 2448, 3102, "(8 x 6) + (8 x 4)", 50},
    {18, 2448, 3402, "(8 x 6) + (8 x 5)", 51},
    {19, 2448, 3702, "(8 x 8) + (8 x 4)", 51},
    {20, 2448, 3768, "8 x 4 (x3)", 51},
    {21, 2448, 3544, "8 x A4Length", 51},
    {22, 1548, 2176, "5 x 3.5 (x2)", 21},
    {25, 2448, 3186, "8 x 10.5", 51},
    {26, 2448, 3186, "8 x 10.75", 51},
    {27, 1844, 1836, "6 x 6", 31},
    {28, 2448, 3702, "8 x 4 (x3)", 51},
    {29, 1548, 1540, "5 x 5", 21},
    {30, 1844, 1386, "6 x 4.5", 40},
    {31, 1844, 2802, "6 x 4.5 (x2)", 40},
    {32, 2448, 2136, "8 x 7", 50},
    {33, 2448, 2736, "8 x 9", 50},
    {34, 2528, 1784, "A4 x 5", 60},
    {35, 2528, 3102, "A5 x 2", 60},
    {37, 2528, 1536, "A4 x 5", 60},
    {38, 2528, 1836, "A4 x 6", 60},
    {39, 2528, 2436, "A4 x 8", 60},
    {40, 2528, 3036, "A4 x 10", 60},
    {41, 2528, 3544, "A4", 60},
    {43, 2528, 3102, "A4 x 5 (x2)", 60},
    {64, 1844, 609, "", 20},
    {65, 1548, 598, "", 20},
    {66, 1844, 1240, "6 x 2 (x2)", 30},
    {68, 1844, 2436, "6 x 2 (x4)", 31},
    {91, 1844, 2436, "(6 x 6) + (6 x 2)", 31},
    {93, 1548, 2138, "(5 x 5) + (5 x 2)", 21},
    {95, 1844, 2436, "(5 x 5) + (3 x 3)x2 + (5 x 1)", 31},
};

const NamedCode MediaNames[] = {
    {20, "5x3.5"}, {21, "5x7"}, {30, "6x4"}, {31, "6x8"}, {40, "6x9"}, {50, "8x10"}, {51, "8x12"}, {60, "A4"},
};

const NamedCode MediaClasses[] = {{1, "SD"}, {3, "PP"}};

// The multicuts of each media: those offered as modes, and those the printer is asked to
// accept. The two lists differ for media 31, 40 and 60; each keeps its own.
struct MediaMulticuts {
    qint32 code;
    DNPIndexSet modes;
    DNPIndexSet supported;
    qint32 defaultMulticut;
};

const MediaMulticuts& noMediaMulticuts()
{
    static const MediaMulticuts none{0, {}, {}, 0};
    return none;
}

const MediaMulticuts& multicutsForMedia(qint64 media)
{
    static const MediaMulticuts table[] = {
        {20, {1}, {1}, 1},
        {21, {1, 3, 22, 29, 93}, {1, 3, 22, 29, 93}, 3},
        {30, {2, 66}, {2, 66}, 2},
        {31, {2, 4, 12, 27, 30, 66, 68, 91, 95}, {2, 4, 12, 27, 30, 68, 91, 95}, 4},
        {40, {2, 4, 5, 12, 27, 30, 31, 91}, {2, 4, 5, 12, 27, 30, 31}, 5},
        {50, {6, 8, 9, 10, 11, 13, 14, 16, 17, 32, 33}, {6, 8, 9, 10, 11, 13, 14, 16, 17, 32, 33}, 6},
        {51,
         {6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 25, 26, 28, 32, 33},
         {6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 25, 26, 28, 32, 33},
         7},
        {60,
         {34, 35, 37, 38, 39, 40, 41, 43},
         {6, 8, 13, 16, 17, 18, 19, 21, 32, 33, 37, 38, 39, 40, 41, 43},
         41},
    };
    const MediaMulticuts* row = findRow(table, media);
    return row ? *row : noMediaMulticuts();
}

const NamedCode MulticutsByPaperName[] = {
    {4, "6x8"}, {6, "8x10"}, {7, "8x12"}, {2, "6x4"}, {5, "6x9"},  {30, "6x4.5"}, {1, "5x3.5"},
    {3, "5x7"}, {27, "6x6"}, {29, "5x5"}, {8, "8x4"}, {9, "8x5"}, {10, "8x6"},   {11, "8x8"},
};

// The smallest multicut for a size: a band of widths, then the first height the picture stays
// below. Where a height admits a sheet of two equal parts or of two unequal ones, both are named.
struct HeightLimit {
    qint64 below;
    qint32 multicut;
    qint32 equalHalvesMulticut;
};

struct WidthBand {
    qint64 widthUpTo;
    std::vector<HeightLimit> heights;
};

const std::vector<WidthBand>& widthBands()
{
    static const std::vector<WidthBand> bands{
        {1548, {{1089, 1, 1}, {1541, 29, 29}, {2139, 3, 3}, {2177, 22, 22}}},
        {1844, {{1241, 2, 2}, {1387, 30, 30}, {1837, 27, 27}, {2437, 4, 4}, {2741, 5, 5}, {2803, 31, 31}}},
        {2448, {{1237, 8, 8},   {1537, 9, 9},   {1837, 10, 10}, {2137, 32, 32}, {2437, 11, 11}, {2503, 13, 13},
                {2737, 33, 33}, {2803, 16, 16}, {3037, 6, 6},   {3103, 17, 14}, {3187, 25, 25}, {3403, 18, 18},
                {3545, 21, 21}, {3637, 7, 7},   {3703, 19, 15}, {3769, 20, 20}}},
        {2528, {{1537, 37, 37}, {1785, 34, 34}, {1837, 38, 38}, {2437, 39, 39}, {3037, 40, 40}, {3545, 41, 41}}},
    };
    return bands;
}

} // namespace

QSizeF dnp_pixelsForMulticut(qint64 multicut)
{
    const Multicut* row = findRow(Multicuts, multicut);
    return row ? QSizeF(row->width, row->height) : QSizeF(0, 0);
}

QSizeF dnp_pixelsForMulticutHiRes(qint64 multicut)
{
    const QSizeF size = dnp_pixelsForMulticut(multicut);
    return {size.width(), size.height() * 2};
}

QString dnp_paperNameForMulticut(qint64 multicut)
{
    // An undefined multicut has no paper: the empty text, never a missing one that a
    // description would show as "(null)".
    const Multicut* row = findRow(Multicuts, multicut);
    return QString::fromLatin1(row ? row->paperName : "");
}

QString dnp_mediaNameForSize(qint64 media)
{
    return nameForCode(MediaNames, media, "missing");
}

QString dnpNormalizedMediaType(const QString& mediaType)
{
    const QString code = withoutPrefix(mediaType, MediaTypePrefix);
    return code.size() >= 3 ? code.mid(code.size() - 3, 2) : code;
}

qint32 dnp_mediaCodeForType(const QString& mediaType)
{
    // The normalised text has at most two characters, so its integer fits.
    return qint32(platform::StringValues::integerValue(dnpNormalizedMediaType(mediaType)));
}

QString dnp_mediaNameForType(const QString& mediaType)
{
    return dnp_mediaNameForSize(dnp_mediaCodeForType(mediaType));
}

QString dnp_mediaClassForCode(const QVariant& mediaClass)
{
    return nameForCode(MediaClasses, platform::StringValues::integerValue(mediaClass), "unknown");
}

qint32 dnp_mediaCodeForMultiCut(qint64 multicut)
{
    const Multicut* row = findRow(Multicuts, multicut);
    return row ? row->media : DefaultMediaCode;
}

bool dnp_mediaTypeSupportsMulticut(const QString& mediaType, qint64 multicut)
{
    const DNPIndexSet& supported = multicutsForMedia(dnp_mediaCodeForType(mediaType)).supported;
    return multicut >= 0 && std::binary_search(supported.begin(), supported.end(), uint64_t(multicut));
}

DNPIndexSet dnp_multicutModesForMedia(qint64 media)
{
    return multicutsForMedia(media).modes;
}

DNPIndexSet dnp_multicutModesForMediaType(const QString& mediaType)
{
    return dnp_multicutModesForMedia(dnp_mediaCodeForType(mediaType));
}

qint32 dnp_defaultMulticutForMedia(const QString& mediaType)
{
    return multicutsForMedia(dnp_mediaCodeForType(mediaType)).defaultMulticut;
}

qint32 dnp_multicutForNamedPaperSize(const QString& paperName)
{
    const QString name = withoutPrefix(paperName, DNPPrefix);
    for (const NamedCode& row : MulticutsByPaperName) {
        if (name == QLatin1String(row.name))
            return qint32(row.code);
    }
    return 0;
}

qint32 dnp_multicutForWidthHeight(qint64 width, qint64 height, bool preferEqualHalves)
{
    for (const WidthBand& band : widthBands()) {
        if (width > band.widthUpTo)
            continue;
        for (const HeightLimit& limit : band.heights) {
            if (height < limit.below)
                return preferEqualHalves ? limit.equalHalvesMulticut : limit.multicut;
        }
        return 0;
    }
    return 0;
}

QStringList dnp_paperNamesForMulticutModes(const DNPIndexSet& multicuts)
{
    DNPIndexSet ascending = multicuts;
    std::sort(ascending.begin(), ascending.end());
    ascending.erase(std::unique(ascending.begin(), ascending.end()), ascending.end());
    QStringList names;
    for (uint32_t multicut : ascending)
        names.append(dnp_paperNameForMulticut(multicut));
    return names;
}

QStringList dnp_paperNamesForMedia(qint64 media)
{
    return dnp_paperNamesForMulticutModes(dnp_multicutModesForMedia(media));
}
