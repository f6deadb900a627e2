#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A model object whose work is recorded in an audit trail (templates, layers, outputs,
// destinations, packages, jobs).
class ZORVAK_Audited {
public:
    virtual ~ZORVAK_Audited() = default;

    // The keys of the products the object makes ("thumbnail" for packages and jobs).
    virtual QStringList auditedProductKeys() const = 0;

    // The name the trail shows for the object; absent when the object has none of its own,
    // and the trail then names the object's class.
    virtual std::optional<QString> auditedDisplayName() const { return std::nullopt; }
};
