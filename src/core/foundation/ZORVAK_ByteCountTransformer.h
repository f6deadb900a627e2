#pragma once

#include <QVariant>

// The preferences' value transformer of byte limits: a number of bytes is shown
// as a short text ("1.5 MB") and a typed text is read back as a number of bytes.
// The text is written in the C locale, whatever the user's locale, since reading
// it back knows "." as the only decimal mark.
class ZORVAK_ByteCountTransformer {
public:
    // A number becomes its text in multiples of 1024: "700 bytes", "2 KB",
    // "1.5 MB", "3 GB", at most two decimals; larger counts stay in GB, the
    // largest unit the reading knows. Anything else gives an invalid value.
    static QVariant transformedValue(const QVariant& value);
    // A text becomes a number of bytes (qint64): the first run of digits and "."
    // read as a number, times 1048576, 1024 or 1073741824 when the first run of
    // letters after it begins with "m", "k" or "g" (any case); truncated toward
    // zero and clamped to the 64-bit range. A text without digits gives 0, as
    // does anything that is not text.
    static QVariant reverseTransformedValue(const QVariant& value);
};
