#pragma once

#include <QVariantList>

namespace ZORVAK_NSArray {

// A new list with each path text or URL replaced by its last path component
// ("/a/b/c.jpg" and "file:///a/b/c.jpg" give "c.jpg", "/a/b/" gives "b");
// every other value is kept as it is, in the same order.
QVariantList lastPathComponents(const QVariantList& values);

} // namespace ZORVAK_NSArray
