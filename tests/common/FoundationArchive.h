#pragma once

#include "platform/plist/PlistUID.h"
#include "platform/plist/PropertyList.h"

#include <QHash>
#include <QStringList>
#include <QVariant>

namespace kova::test {

// Lays out a keyed archive the way the platform's own archiver writes it, to read archives made
// elsewhere: "$null" first, then objects referring to each other by UID, each with a "$class"
// reference to one shared entry per class naming the class and its superclasses. Each call
// adds an object and answers the reference to it.
class FoundationArchive {
public:
    // The reference to $null, for keys that hold nothing.
    static QVariant null() { return reference(0); }

    // Text, a number or data, stored as itself.
    QVariant plain(const QVariant& value) { return append(value); }

    // An object of `className` whose keys hold `keys`.
    QVariant object(const QString& className, QVariantMap keys)
    {
        keys.insert(QStringLiteral("$class"), classReference(className));
        return append(keys);
    }

    QVariant array(const QVariantList& items, const QString& className = QStringLiteral("NSArray"))
    {
        return object(className, {{QStringLiteral("NS.objects"), items}});
    }

    QVariant dictionary(const QVariantMap& entries, const QString& className = QStringLiteral("NSDictionary"))
    {
        QVariantList keys;
        for (const QString& key : entries.keys())
            keys.append(plain(key));
        return object(className, {{QStringLiteral("NS.keys"), keys}, {QStringLiteral("NS.objects"), entries.values()}});
    }

    QVariant url(const QString& text)
    {
        return object(QStringLiteral("NSURL"), {{QStringLiteral("NS.base"), null()}, {QStringLiteral("NS.relative"), plain(text)}});
    }

    QVariant error(const QString& domain, qint64 code, const QVariant& userInfo)
    {
        return object(QStringLiteral("NSError"), {{QStringLiteral("NSCode"), code},
                                                  {QStringLiteral("NSDomain"), plain(domain)},
                                                  {QStringLiteral("NSUserInfo"), userInfo}});
    }

    // The archive, a binary property list, whose root is `root`.
    QByteArray data(const QVariant& root) const
    {
        return platform::PropertyList::toData(QVariantMap{
            {QStringLiteral("$archiver"), QStringLiteral("NSKeyedArchiver")},
            {QStringLiteral("$version"), qint64(100000)},
            {QStringLiteral("$top"), QVariantMap{{QStringLiteral("root"), root}}},
            {QStringLiteral("$objects"), m_objects},
        });
    }

private:
    static QVariant reference(qsizetype index) { return QVariant::fromValue(platform::PlistUID{quint64(index)}); }

    QVariant append(const QVariant& object)
    {
        m_objects.append(object);
        return reference(m_objects.size() - 1);
    }

    QVariant classReference(const QString& className)
    {
        static const QHash<QString, QStringList> superclasses{
            {QStringLiteral("NSMutableDictionary"), {QStringLiteral("NSDictionary")}},
            {QStringLiteral("NSMutableArray"), {QStringLiteral("NSArray")}},
        };
        if (!m_classes.contains(className)) {
            const QStringList classes = QStringList{className} + superclasses.value(className) + QStringList{QStringLiteral("NSObject")};
            m_classes.insert(className, append(QVariantMap{{QStringLiteral("$classname"), className}, {QStringLiteral("$classes"), classes}}));
        }
        return m_classes.value(className);
    }

    QVariantList m_objects{QStringLiteral("$null")};
    QHash<QString, QVariant> m_classes;
};

} // namespace kova::test
