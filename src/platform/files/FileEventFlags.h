#pragma once

#include <QtGlobal>

namespace platform {

// What a file event stream reports: the folders in which something changed, or
// the changed items themselves.
enum class FileEventGranularity { Folders, Items };

// The flags that come with each reported path, in the event-flag encoding the
// rest of the system and its logs use. Item kinds are only reported by streams
// of item granularity; folder streams carry the kinds of change without the
// item type.
namespace FileEventFlag {
inline constexpr quint32 MustScanSubDirs = 0x1; // events below the path were lost: rescan it
inline constexpr quint32 KernelDropped = 0x4;   // the kernel's event queue overflowed
inline constexpr quint32 RootChanged = 0x20;    // a watched path itself went away or (re)appeared
inline constexpr quint32 ItemCreated = 0x100;
inline constexpr quint32 ItemRemoved = 0x200;
inline constexpr quint32 ItemInodeMetaMod = 0x400; // permissions, owner, times, extended attributes
inline constexpr quint32 ItemRenamed = 0x800;      // moved away from or onto the path
inline constexpr quint32 ItemModified = 0x1000;
inline constexpr quint32 ItemIsFile = 0x10000;
inline constexpr quint32 ItemIsDir = 0x20000;
inline constexpr quint32 itemTypes = ItemIsFile | ItemIsDir;
} // namespace FileEventFlag

} // namespace platform
