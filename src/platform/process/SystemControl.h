#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The host's hardware and kernel values under the names the system asks for
// them ("hw.model", "hw.logicalcpu", "kern.version" ...), read from Linux's own
// sources: /proc, /sys, uname and sysconf. Linux has no tool that answers those
// names, and a value Linux does not keep is left out.
namespace platform::SystemControl {

// Name -> value text for each of the names the host answers, read anew; with no
// names, every name known here. Unknown names are left out.
QMap<QString, QString> valuesForKeys(const QStringList& names);

// The numeric fields of a /proc table such as /proc/meminfo ("MemTotal:  8000 kB")
// or /proc/vmstat ("pswpin 12"): field name -> the number as written (kB stay kB).
// Lines without a number are skipped; empty when the file cannot be read.
QMap<QString, quint64> procCounters(const QString& path);

} // namespace platform::SystemControl
