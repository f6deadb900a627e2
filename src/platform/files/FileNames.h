#pragma once

#include <QString>

namespace platform {

// Turns names that come from tickets and packages (image names, paper names, template
// names, stamps) into names that stay where they are put: one path component that no
// file system refuses for its length. Thread-safe.
class FileNames {
public:
    FileNames() = delete;

    // The longest file name, in bytes, that the file systems in use take.
    static constexpr qsizetype MaximumNameBytes = 255;
    // What a name that names no file ("", ".", "..") becomes.
    static inline const QString FallbackName = QStringLiteral("image");

    // `name` as one path component of at most `maximumBytes` bytes in UTF-8: "/" and NUL
    // become ":", "", "." and ".." become "image", and a longer name loses the end of its
    // base, never part of a character, keeping its extension when that leaves room.
    static QString pathComponent(const QString& name, qsizetype maximumBytes = MaximumNameBytes);

    // `base`, "_" and `suffix` as one path component of at most `maximumBytes` bytes: the
    // suffix (a stamp, a paper or template name) keeps up to half of them, and the base
    // gives way first.
    static QString joinedComponent(const QString& base, const QString& suffix, qsizetype maximumBytes);

    // Whether `path` lies inside `folder`, links resolved; false when either is missing.
    static bool isInsideFolder(const QString& path, const QString& folder);

    // The longest start of `text` that takes at most `maximumBytes` in UTF-8, whole
    // characters only (a surrogate pair is one character).
    static QString truncatedToBytes(const QString& text, qsizetype maximumBytes);

    // The length of `text` in UTF-8, the measure of a name's length on disk.
    static qsizetype byteLength(const QString& text);
};

} // namespace platform
