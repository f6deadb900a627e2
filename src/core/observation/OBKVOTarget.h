#pragma once

#include "platform/observation/Observable.h"

#include <QList>

#include <concepts>
#include <memory>

// What an observation watches: one object, or a list of objects meaning each object
// the list holds when the observation is made.
class OBKVOTarget {
public:
    template <std::derived_from<platform::Observable> T>
    OBKVOTarget(const std::shared_ptr<T>& object)
    {
        if (object)
            m_objects.append(object);
    }

    template <std::derived_from<platform::Observable> T>
    OBKVOTarget(const QList<std::shared_ptr<T>>& objects) : m_isArray(true)
    {
        for (const auto& object : objects) {
            if (object)
                m_objects.append(object);
        }
    }

    bool isArray() const { return m_isArray; }
    const QList<std::shared_ptr<platform::Observable>>& objects() const { return m_objects; }

private:
    QList<std::shared_ptr<platform::Observable>> m_objects;
    bool m_isArray = false;
};
