#include "workflow/processing/KOVA_UnfiledTickets.h"

#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "platform/Log.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StandardPaths.h"
#include "platform/plist/PropertyList.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QUrl>

#include <cerrno>

namespace {

const QString TicketKey = QStringLiteral("ticket");
const QString GenerationKey = QStringLiteral("generation");
const QString ErrorDomainKey = QStringLiteral("errorDomain");
const QString ErrorCodeKey = QStringLiteral("errorCode");
const QString ErrorMessageKey = QStringLiteral("errorMessage");
const QString ReasonKey = QStringLiteral("reason");
const QString RecordExtension = QStringLiteral(".plist");

QVariantMap contentsOf(const KOVA_UnfiledTickets::Record& record)
{
    return {
        {TicketKey, record.ticketPath},
        {GenerationKey, QString::fromLatin1(record.generation)},
        {ErrorDomainKey, record.jobError.domain},
        {ErrorCodeKey, record.jobError.code},
        {ErrorMessageKey, record.jobError.message},
        {ReasonKey, record.reason},
    };
}

// Every field there with its type, or none.
std::optional<KOVA_UnfiledTickets::Record> recordOf(const QVariant& value)
{
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap contents = value.toMap();
    for (const QString& key : {TicketKey, GenerationKey, ErrorDomainKey, ErrorMessageKey, ReasonKey}) {
        if (contents.value(key).typeId() != QMetaType::QString)
            return std::nullopt;
    }
    if (contents.value(ErrorCodeKey).typeId() != QMetaType::LongLong)
        return std::nullopt;
    return KOVA_UnfiledTickets::Record{
        contents.value(TicketKey).toString(),
        contents.value(GenerationKey).toString().toLatin1(),
        {contents.value(ErrorDomainKey).toString(), contents.value(ErrorCodeKey).toLongLong(),
         contents.value(ErrorMessageKey).toString()},
        contents.value(ReasonKey).toString(),
    };
}

} // namespace

QString KOVA_UnfiledTickets::folder()
{
    return platform::StandardPaths::path(platform::StandardPaths::Folder::Library) + QStringLiteral("/KOVA/Unfiled Tickets");
}

QString KOVA_UnfiledTickets::recordPath(const QString& ticketPath, const QByteArray& generation)
{
    const QByteArray key = ticketPath.toUtf8() + '\0' + generation;
    return folder() + QLatin1Char('/') + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex())
           + RecordExtension;
}

bool KOVA_UnfiledTickets::store(const Record& record)
{
    // A ticket gone before it was filed needs no record.
    if (record.generation.isEmpty())
        return false;
    platform::Error error;
    const QByteArray data = platform::PropertyList::toData(contentsOf(record), platform::PropertyList::Format::XML, &error);
    const bool stored = !data.isEmpty() && platform::FileOperations::makeDirectory(folder(), true, &error)
                        && platform::FileOperations::replaceFileAtomically(recordPath(record.ticketPath, record.generation),
                                                                            data, &error, 0600);
    if (!stored)
        platform::Log::error(QStringLiteral("cannot keep the record that the ticket %1 ran: %2")
                                 .arg(record.ticketPath, error.description()));
    return stored;
}

void KOVA_UnfiledTickets::remove(const QString& ticketPath, const QByteArray& generation)
{
    const QString path = recordPath(ticketPath, generation);
    if (!QFile::remove(path) && QFile::exists(path))
        platform::Log::error(QStringLiteral("cannot remove the record %1 that the ticket %2 ran").arg(path, ticketPath));
}

std::optional<KOVA_UnfiledTickets::Record> KOVA_UnfiledTickets::find(const QString& ticketPath, const QByteArray& generation)
{
    const QString path = recordPath(ticketPath, generation);
    if (generation.isEmpty() || !QFile::exists(path))
        return std::nullopt;
    return read(path);
}

QList<KOVA_UnfiledTickets::Record> KOVA_UnfiledTickets::stored()
{
    QList<Record> records;
    const QStringList names = QDir(folder()).entryList({QLatin1Char('*') + RecordExtension}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QString path = folder() + QLatin1Char('/') + name;
        const std::optional<Record> record = read(path);
        if (!record)
            continue;
        if (ZORVAK_Extras_NSURL::generationID(QUrl::fromLocalFile(record->ticketPath)) != record->generation)
            discard(path, QStringLiteral("its ticket %1 is gone or was written anew").arg(record->ticketPath));
        else
            records.append(*record);
    }
    return records;
}

std::optional<KOVA_UnfiledTickets::Record> KOVA_UnfiledTickets::read(const QString& path)
{
    platform::Error error;
    const std::optional<QByteArray> data = platform::BoundedFileRead::contents(path, MaximumRecordSize, &error);
    if (!data) {
        // Filed and removed by another processor meanwhile.
        if (error.domain != platform::Error::POSIXDomain || error.code != ENOENT)
            discard(path, error.description());
        return std::nullopt;
    }
    const std::optional<Record> record = recordOf(platform::PropertyList::fromData(*data, &error));
    if (!record || record->generation.isEmpty() || recordPath(record->ticketPath, record->generation) != path) {
        discard(path, error.isNull() ? QStringLiteral("it is not a record of a ticket") : error.description());
        return std::nullopt;
    }
    return record;
}

void KOVA_UnfiledTickets::discard(const QString& path, const QString& why)
{
    platform::Log::log(QStringLiteral("removed the record %1 of a ticket that ran: %2").arg(path, why));
    platform::FileOperations::removeItem(path);
}
