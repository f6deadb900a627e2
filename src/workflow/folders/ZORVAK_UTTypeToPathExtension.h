#pragma once

#include <QVariant>

// The preferences' value transformer between type identifiers and the file-name
// extensions shown for them ("public.jpeg" <-> "JPEG").
class ZORVAK_UTTypeToPathExtension {
public:
    // A type identifier becomes its preferred extension, upper-cased; a list whose
    // first element is text becomes the list of its elements' extensions, leaving
    // out those without one; anything else is returned as it is.
    static QVariant transformedValue(const QVariant& value);
    // An extension (any case) becomes its type identifier; anything else is returned
    // as it is.
    static QVariant reverseTransformedValue(const QVariant& value);
};
