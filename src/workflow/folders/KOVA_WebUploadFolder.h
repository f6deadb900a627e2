#pragma once

#include <QVariant>

// The preferences' value transformer of a print-to-file set's upload folder: no
// folder is shown as the entry "Do NOT upload to Web".
class KOVA_WebUploadFolder {
public:
    // None (an invalid value) becomes "Do NOT upload to Web"; anything else is kept.
    static QVariant transformedValue(const QVariant& value);
    // "Do NOT upload to Web" becomes none; anything else is kept.
    static QVariant reverseTransformedValue(const QVariant& value);
};
