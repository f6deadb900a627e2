#pragma once

#include <QPointF>
#include <QString>

// The text forms of points that documents and preferences store: numbers
// separated by commas inside braces, "{x, y}".
namespace platform::GeometryText {

// The point the text names. Reading is lenient as the stored forms vary
// ("{10,40}", "{0.5, 0}"): the first two numbers found are x and y, and a
// number that is missing reads as 0.
QPointF pointFromString(const QString& text);

} // namespace platform::GeometryText
