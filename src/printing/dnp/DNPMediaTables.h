#pragma once

#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QtGlobal>

#include <cstdint>
#include <vector>

// The DNP printers' media (the paper roll loaded in the printer, by media code) and multicuts
// (the print layouts cut from that roll, by multicut code). Sizes are pixels at 300 dpi; high
// resolution doubles the height. Every function takes any integer: codes the printers do not
// define answer the "other" value named below.

// A set of multicut codes, ascending and without repeats.
using DNPIndexSet = std::vector<uint32_t>;

// The pixel size of `multicut`; zero for codes the printers do not define.
QSizeF dnp_pixelsForMulticut(qint64 multicut);
// The same size with the height doubled, the width unchanged.
QSizeF dnp_pixelsForMulticutHiRes(qint64 multicut);
// The paper name of `multicut`; empty for the strips 64 and 65 and undefined codes.
QString dnp_paperNameForMulticut(qint64 multicut);
// The name of a media code such as "6x4"; "missing" for any other code.
QString dnp_mediaNameForSize(qint64 media);

// The two digits of a printer-reported media type text that give its media code: a leading
// "MT" is dropped, then a text of three or more characters gives the two before its last.
QString dnpNormalizedMediaType(const QString& mediaType);
// The integer in the normalised media type text; 0 when it holds none.
qint32 dnp_mediaCodeForType(const QString& mediaType);
// The media name of the media type text's code.
QString dnp_mediaNameForType(const QString& mediaType);
// The media class of a text or number: 1 "SD", 3 "PP", anything else "unknown".
QString dnp_mediaClassForCode(const QVariant& mediaClass);

// The media code the printer must hold for `multicut`; 20 for codes it does not define.
qint32 dnp_mediaCodeForMultiCut(qint64 multicut);
// Whether a printer holding the media of `mediaType` accepts `multicut`.
bool dnp_mediaTypeSupportsMulticut(const QString& mediaType, qint64 multicut);
// The multicuts offered for a media code; empty for other codes.
DNPIndexSet dnp_multicutModesForMedia(qint64 media);
DNPIndexSet dnp_multicutModesForMediaType(const QString& mediaType);
// The multicut a media takes when nothing else is asked for; 0 for other media.
qint32 dnp_defaultMulticutForMedia(const QString& mediaType);

// The multicut of a paper size name such as "6x4" or "dnp6x4"; 0 for any other name.
qint32 dnp_multicutForNamedPaperSize(const QString& paperName);
// The smallest multicut that holds a picture of `width` x `height` pixels; 0 when none does.
// Where two layouts of one sheet fit, `preferEqualHalves` chooses the one of two equal parts.
qint32 dnp_multicutForWidthHeight(qint64 width, qint64 height, bool preferEqualHalves);

// The paper names of the codes in `multicuts`, in ascending order of code.
QStringList dnp_paperNamesForMulticutModes(const DNPIndexSet& multicuts);
// The paper names of the multicuts offered for a media code.
QStringList dnp_paperNamesForMedia(qint64 media);
