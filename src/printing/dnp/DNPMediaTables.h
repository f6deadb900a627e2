#pragma once

#include <QString>
#include <QtGlobal>

// The DNP printers' paper names: which multicut (print layout) a paper size name selects and
// which media (paper roll) a multicut needs.

// The multicut of a paper size name such as "6x4" or "dnp6x4"; 0 for any other name.
qint32 dnp_multicutForNamedPaperSize(const QString& paperName);
// The media code the printer must hold for `multicut`; 20 for codes it does not define.
qint32 dnp_mediaCodeForMultiCut(qint32 multicut);
