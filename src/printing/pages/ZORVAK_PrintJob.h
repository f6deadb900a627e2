#pragma once

#include "platform/Error.h"

#include <QList>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <memory>

class ZORVAK_PrintPage;

// A holder of print pages kept for the print centre's older job form. Nothing fills it: its
// page list stays empty, nothing converts into it and writing it does nothing.
class ZORVAK_PrintJob {
public:
    using WriteResult = std::function<void(bool written, const platform::Error& error)>;

    QList<std::shared_ptr<ZORVAK_PrintPage>> pages() const { return {}; }

    static std::shared_ptr<ZORVAK_PrintJob> convertToJob(const QVariant&) { return nullptr; }
    // Writes nothing and never calls `result`.
    void writeToURL(const QUrl&, const WriteResult&) {}
};
