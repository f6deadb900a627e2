#pragma once

#include "helper/lib/FolderOwnership.h"

#include <QMap>
#include <QMutex>

namespace kova::test {

// Records the group each folder would be given instead of changing owners, so the
// tests run as an ordinary user.
class RecordingOwnership : public kova::helper::FolderOwnership {
public:
    platform::Error setOwner(int, const QString& path, const QString& groupName) override
    {
        const QMutexLocker lock(&m_mutex);
        m_groups.insert(path, groupName);
        return {};
    }
    QMap<QString, QString> groups() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_groups;
    }

private:
    mutable QMutex m_mutex;
    QMap<QString, QString> m_groups;
};

} // namespace kova::test
