#pragma once

#include <QString>

// The 4x6 composite of the composite benchmarks rendered from its template file
// and written as a JPEG of the floor's quality, as a rendering process does it.
namespace CompositeRendering {

// False when the template cannot be read or the composite cannot be drawn or written.
bool render(const QString& templatePath, const QString& destination);

} // namespace CompositeRendering
