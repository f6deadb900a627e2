#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// What a DNP printer's answers and codes mean in words: its status, the statuses in which a
// job may wait for it, its remaining media, its model, and the names of the quality and
// overcoat codes.

// The description of a status answer. Only a number (blanks around it allowed) or the
// firmware-update answer "FU00001" is looked up; an empty or garbled answer, like an unknown
// number, gives "Unknown Status: " and the answer as received.
QString dnp_stringForStatus(const QString& status);
// The descriptions of the statuses in which a job may be queued: idle, printing, sleeping.
QStringList dnp_waitCodesAcceptableForQueueing();
// The descriptions of the statuses in which a job may be received: idle, printing.
QStringList dnp_waitCodesAcceptableForReceiving();
// The media remaining in an answer such as "MQTY00350"; 0 when it holds no number.
qint64 dnp_mediaRemainingForMQTY(const QString& answer);

// The model name of a USB product id; "unknown model" for any other id.
QString dnp_printerNameForProductID(qint64 productID);
// The name of a quality code; "Unknown" for any other code.
QString dnp_nameForQuality(qint64 quality);
// The name of an overcoat code; "unknown" for any other code.
QString dnp_nameForOvercoat(qint64 overcoat);
