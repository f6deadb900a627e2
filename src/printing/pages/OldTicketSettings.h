#pragma once

#include "printing/dnp/DNPTableLookup.h"

#include <QString>
#include <QVariantMap>

#include <cstddef>
#include <limits>

// The printer and media settings an old print ticket holds for the printer pages, each read
// as an integer. A missing entry reads as 0; an entry that is not what the ticket vocabulary
// puts there (a dictionary for the two groups, a number or numeric text for the values) is
// logged and read as missing.
struct OldTicketSettings {
    qint64 printingMode = 0; // "mitsubishiSettings" / "printingMode"
    qint64 lamination = 0; // "mitsubishiSettings" / "lamination"
    qint64 printer = 0; // "printer"
    qint64 cutInHalf = 0; // "mediaSettings" / "cutInHalf"
    qint64 mediaType = 0; // "mediaSettings" / "mediaType"

    static OldTicketSettings fromTicket(const QVariantMap& ticket);
};

// Why a page imported without media it can print on cannot be printed as it is.
inline const QString UnsupportedMediaReason = QStringLiteral("Unsupported Printer/Media");

// The old tickets' printers: the index, the model name and the media codes of the ticket's
// media types 1 to 5 (0 where the printer takes no such media).
struct OldTicketPrinter {
    long long code;
    const char* model;
    long long mediaByType[5];
};

// The model of the printer `index` among `printers`; none for other indexes.
template <std::size_t Count>
QString oldTicketModel(const OldTicketPrinter (&printers)[Count], qint64 index);
// The media code of the ticket's media type on printer `index`; 0 when the printer takes none.
template <std::size_t Count>
qint64 oldTicketMedia(const OldTicketPrinter (&printers)[Count], qint64 index, qint64 mediaType);

// A row of the tables that choose a setting from the printer, the media and the ticket's cut
// selector ("cutInHalf"): the first row that matches gives the value. `AnyValue` matches any
// printer or selector.
struct OldTicketChoice {
    static constexpr long long AnyValue = std::numeric_limits<long long>::min();
    long long printer;
    long long media;
    long long selector;
    long long value;
};

// The value of the first row of `choices` matching the printer, media and selector; 0 when
// none does.
template <std::size_t Count>
qint64 oldTicketChoice(const OldTicketChoice (&choices)[Count], qint64 printer, qint64 media, qint64 selector)
{
    const auto matches = [](long long wanted, qint64 given) { return wanted == OldTicketChoice::AnyValue || wanted == given; };
    for (const OldTicketChoice& row : choices) {
        if (matches(row.printer, printer) && row.media == media && matches(row.selector, selector))
            return row.value;
    }
    return 0;
}

template <std::size_t Count>
QString oldTicketModel(const OldTicketPrinter (&printers)[Count], qint64 index)
{
    const OldTicketPrinter* printer = DNPTables::findRow(printers, index);
    return printer ? QString::fromLatin1(printer->model) : QString();
}

template <std::size_t Count>
qint64 oldTicketMedia(const OldTicketPrinter (&printers)[Count], qint64 index, qint64 mediaType)
{
    const OldTicketPrinter* printer = DNPTables::findRow(printers, index);
    return printer && mediaType >= 1 && mediaType <= 5 ? printer->mediaByType[mediaType - 1] : 0;
}
