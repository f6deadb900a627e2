#pragma once

#include <QString>
#include <QVariant>

// Turns a page's gravity name into a number for interface bindings: 1 for resize-aspect,
// 0 for anything else; back, 1 gives resize-aspect and anything else resize-aspect-fill.
class ZORVAK_GravityValueTransformer {
public:
    static QString transformedValueClass() { return QStringLiteral("NSNumber"); }
    static bool allowsReverseTransformation() { return true; }

    QVariant transformedValue(const QVariant& value) const;
    // A text or number whose integer value is 1 gives resize-aspect.
    QVariant reverseTransformedValue(const QVariant& value) const;
};
