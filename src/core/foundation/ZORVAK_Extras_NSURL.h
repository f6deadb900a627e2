#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>

// The file-system questions the workflow asks of file URLs all the time: an
// item's type and whether it conforms to a type (which doubles as the test that
// an item exists and is of a kind), types and file-name extensions, dates and
// sizes, volumes, and the JPEG and rewriting helpers of image files (their
// metadata rewrite, which needs the image code, is in
// core/image/ZORVAK_Extras_NSURL_ImageProperties.h). A URL that is not a file
// URL names no item. Every function is thread-safe.
namespace ZORVAK_Extras_NSURL {

// ---- Types and extensions ----

// The item's type identifier; empty when nothing exists at the URL.
QString UTI(const QUrl& url);

// Whether the item exists and its type conforms to `type`: with public.item
// whether anything exists there, with public.folder whether a folder does.
bool conformsToUTType(const QUrl& url, const QString& type);

// The preferred type of a file-name extension (a dynamic one for an extension
// no type claims).
QString UTTypeForPathExtension(const QString& extension);

// The preferred file-name extension of the type; empty when it has none.
QString pathExtensionForUTType(const QString& type);

// The URL with the type's preferred extension appended; unchanged when the
// type has none.
QUrl URLByAppendingPathExtensionForUTType(const QUrl& url, const QString& type);

// ---- Attributes ----

// The birth time where the file system records one; invalid otherwise.
QDateTime dateCreated(const QUrl& url);

// Linux cannot set a birth time: logs the failure and answers false.
bool setDateCreated(const QUrl& url, const QDateTime& date);

// The content-modification date; invalid when the status cannot be read.
QDateTime dateModified(const QUrl& url);

// Sets the content-modification date (following a link); logs a failure.
bool setDateModified(const QUrl& url, const QDateTime& date);

// The size in bytes; 0 when the status cannot be read.
qint64 fileSize(const QUrl& url);

// An opaque identifier that changes when the item is replaced or its contents
// written (device, inode and status-change time); empty when nothing is there.
QByteArray generationID(const QUrl& url);

// The mount point of the file system that holds the item; empty when nothing
// is there.
QUrl volumeURL(const QUrl& url);

// The volume of "/".
QUrl localVolumeURL();

// The whole contents of the file; none (with the reason in `error`) when it
// cannot be read.
std::optional<QByteArray> contentsAsData(const QUrl& url, platform::Error* error = nullptr);

// ---- Image files ----

// Whether the file ends with the JPEG end-of-image marker FF D9; reads it whole.
bool isValidJPEGFile(const QUrl& url);

// The same answer from the last two bytes alone.
bool isValidJPEGFileFaster(const QUrl& url);

// Writes `data` atomically into `destination`, or over the item itself when
// `destination` is empty, and gives the written file the item's modification
// date to the nanosecond. Answers whether a file was written; a failure is
// logged in the name of `operation`.
bool writeDataKeepingDateModified(const QUrl& url, const QByteArray& data, const QUrl& destination, const char* operation);

} // namespace ZORVAK_Extras_NSURL
