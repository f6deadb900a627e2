#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

// The text forms of points, sizes and rectangles that documents and preferences
// store: numbers separated by commas inside braces, "{x, y}", "{w, h}" and
// "{{x, y}, {w, h}}".
namespace platform::GeometryText {

// Reading is lenient as the stored forms vary ("{10,40}", "{0.5, 0}"): the
// numbers found are taken in order, and a number that is missing reads as 0.
QPointF pointFromString(const QString& text);
QSizeF sizeFromString(const QString& text);
QRectF rectFromString(const QString& text);

// Each number is written in its shortest form that reads back to the same value;
// whole numbers have no decimal point.
QString stringFromPoint(const QPointF& point);
QString stringFromSize(const QSizeF& size);
QString stringFromRect(const QRectF& rect);

// One number as the forms above write it.
QString stringFromNumber(double value);

} // namespace platform::GeometryText
