#include "printing/dnp/DNPFrames.h"

#include "platform/text/GeometryText.h"
#include "printing/dnp/DNPMediaTables.h"
#include "printing/dnp/DNPTableLookup.h"

#include <QRectF>

namespace {

using platform::GeometryText::stringFromRect;
using platform::GeometryText::stringFromSize;

constexpr qint64 FixedLayoutMulticut = 95;

// How the strips of a sheet are listed: its parts and the gaps between them, three equal
// thirds of the sheet, or the sheet whole.
enum class Strips { Parts, Thirds, Whole };

struct Stacking {
    qint64 code;
    std::vector<qint64> parts; // bottom first
    double gap;
    Strips strips;
};

const Stacking* stackingFor(qint64 multicut)
{
    static const Stacking table[] = {
        {12, {2, 2}, 18, Strips::Parts},
        {13, {8, 8}, 30, Strips::Parts},
        {14, {9, 9}, 30, Strips::Parts},
        {15, {10, 10}, 30, Strips::Parts},
        {16, {8, 9}, 30, Strips::Parts},
        {17, {8, 10}, 30, Strips::Parts},
        {18, {9, 10}, 30, Strips::Parts},
        {19, {8, 11}, 30, Strips::Parts},
        {20, {8, 8, 8}, 30, Strips::Parts},
        {22, {1, 1}, 0, Strips::Parts},
        {28, {8, 8, 8}, -2, Strips::Thirds},
        {31, {30, 30}, 30, Strips::Parts},
        {35, {34, 34}, 30, Strips::Parts},
        {43, {37, 37}, 30, Strips::Parts},
        {66, {64, 64}, 18, Strips::Whole},
        {68, {64, 64, 64, 64}, 0, Strips::Whole},
        {91, {64, 27}, 30, Strips::Whole},
        {93, {65, 29}, 30, Strips::Whole},
    };
    return DNPTables::findRow(table, multicut);
}

// A frame of a fixed layout at 300 dpi.
struct FixedFrame {
    double x, y, width, height;
};

const FixedFrame Custom2[] = {
    {26, 22, 750, 1050},  {26, 1073, 750, 1050}, {26, 2124, 750, 300},  {777, 22, 1050, 750},
    {777, 773, 1050, 750}, {777, 1524, 1050, 750}, {777, 2275, 1050, 152},
};

const FixedFrame Custom1[] = {
    {26, 923, 1504, 1504}, {26, 22, 900, 900},    {927, 22, 900, 900},
    {1531, 923, 296, 501}, {1531, 1424, 296, 501}, {1531, 1925, 296, 502},
};

template <std::size_t Count>
QStringList fixedFrames(const FixedFrame (&frames)[Count], bool hiRes)
{
    const double s = hiRes ? 2 : 1;
    QStringList texts;
    for (const FixedFrame& f : frames)
        texts.append(stringFromRect(QRectF(f.x, f.y * s, f.width, f.height * s)));
    return texts;
}

QSizeF partSize(qint64 multicut, bool hiRes)
{
    return hiRes ? dnp_pixelsForMulticutHiRes(multicut) : dnp_pixelsForMulticut(multicut);
}

// Top first: each part from the top down with a strip of the gap's height between them.
QStringList partStrips(const Stacking& stacking, bool hiRes)
{
    const double gap = hiRes ? stacking.gap * 2 : stacking.gap;
    QStringList texts;
    for (auto part = stacking.parts.rbegin(); part != stacking.parts.rend(); ++part) {
        const QSizeF size = partSize(*part, hiRes);
        if (!texts.isEmpty() && gap > 0)
            texts.append(stringFromSize(QSizeF(size.width(), gap)));
        texts.append(stringFromSize(size));
    }
    return texts;
}

QStringList thirdStrips(qint64 multicut, bool hiRes)
{
    const QSizeF sheet = partSize(multicut, hiRes);
    const QString third = stringFromSize(QSizeF(sheet.width(), double(qint64(sheet.height()) / 3)));
    return {third, third, third};
}

} // namespace

QStringList dnp_framesForMulticut(qint64 multicut, bool hiRes)
{
    if (multicut == FixedLayoutMulticut)
        return framesForCustom2(hiRes);
    if (const Stacking* stacking = stackingFor(multicut))
        return framesForMuticutsAndGap(stacking->parts, hiRes, stacking->gap);
    return framesForMuticutsAndGap({multicut}, hiRes, 0);
}

QStringList framesForMuticutsAndGap(const std::vector<qint64>& multicuts, bool hiRes, double gap)
{
    const double step = hiRes ? gap * 2 : gap;
    QStringList texts;
    QRectF frame(0, 0, 0, 0);
    for (qint64 multicut : multicuts) {
        frame.setSize(partSize(multicut, hiRes));
        texts.append(stringFromRect(frame));
        frame.moveTop(frame.y() + frame.height() + step);
    }
    return texts;
}

QStringList framesForCustom2(bool hiRes)
{
    return fixedFrames(Custom2, hiRes);
}

QStringList framesForCustom1(bool hiRes)
{
    return fixedFrames(Custom1, hiRes);
}

QStringList dnp_sizesForMulticut(qint64 multicut, bool hiRes)
{
    const Stacking* stacking = stackingFor(multicut);
    const Strips strips = stacking ? stacking->strips : Strips::Whole;
    if (strips == Strips::Parts)
        return partStrips(*stacking, hiRes);
    if (strips == Strips::Thirds)
        return thirdStrips(multicut, hiRes);
    return {stringFromSize(partSize(multicut, hiRes))};
}
