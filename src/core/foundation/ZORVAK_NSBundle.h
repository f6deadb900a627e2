#pragma once

#include <QString>

namespace ZORVAK_NSBundle {

// "<name> <label> - v<short version> (xc-<build tool> sdk-<SDK>)"; without a
// label (a null text) "<name> - v<short version> (xc-<build tool> sdk-<SDK>)".
QString longDescriptionWithLabel(const QString& label);
QString longDescription();

} // namespace ZORVAK_NSBundle
