#pragma once

#include <QMetaType>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace platform {

class KeyedArchiver;

// A model object that writes itself into a keyed archive. A class that is also read back
// registers a factory under the same hierarchy with KeyedUnarchiver::registerClass; the factory
// plays the part of the decoding initialiser, reading the keys encodeWithCoder wrote.
class Archivable {
public:
    virtual ~Archivable() = default;

    // The class name first, then each superclass up to the root, as the archive records them:
    // {"KOVA_JobFolders", "KOVA_FolderSet", "NSObject"}.
    virtual QStringList archiveClassHierarchy() const = 0;

    virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;

    QString archiveClassName() const { return archiveClassHierarchy().value(0); }

    // Archivable objects travel inside QVariant values, in the arrays and dictionaries of a
    // model, as a std::shared_ptr<Archivable>.
    static QVariant toVariant(std::shared_ptr<Archivable> object);

    // The object `value` holds when it is a T, else null.
    template <class T>
    static std::shared_ptr<T> fromVariant(const QVariant& value);
};

} // namespace platform

Q_DECLARE_METATYPE(std::shared_ptr<platform::Archivable>)

namespace platform {

inline QVariant Archivable::toVariant(std::shared_ptr<Archivable> object)
{
    return QVariant::fromValue(std::move(object));
}

template <class T>
std::shared_ptr<T> Archivable::fromVariant(const QVariant& value)
{
    if (value.typeId() != qMetaTypeId<std::shared_ptr<Archivable>>())
        return nullptr;
    return std::dynamic_pointer_cast<T>(value.value<std::shared_ptr<Archivable>>());
}

} // namespace platform
