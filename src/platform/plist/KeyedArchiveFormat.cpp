#include "platform/plist/KeyedArchiveFormat.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace platform::KeyedArchiveFormat {

QStringList builtInClassHierarchy(const QString& className)
{
    static const QHash<QString, QStringList> hierarchies{
        {Dictionary, {Dictionary, Object}},
        {MutableDictionary, {MutableDictionary, Dictionary, Object}},
        {Array, {Array, Object}},
        {MutableArray, {MutableArray, Array, Object}},
        {Set, {Set, Object}},
        {MutableSet, {MutableSet, Set, Object}},
        {String, {String, Object}},
        {MutableString, {MutableString, String, Object}},
        {Data, {Data, Object}},
        {MutableData, {MutableData, Data, Object}},
        {Number, {Number, Value, Object}},
        {Date, {Date, Object}},
        {URL, {URL, Object}},
        {Value, {Value, Object}},
        {ErrorClass, {ErrorClass, Object}},
        {Null, {Null, Object}},
    };
    return hierarchies.value(className);
}

bool isValueClass(const QString& className)
{
    static const QStringList values{String, MutableString, Data, MutableData, Number, Date, Null};
    return values.contains(className);
}

QStringList propertyListClasses()
{
    return {Dictionary, Array, String, Data, Number, Date};
}

QStringList archivedValueClasses()
{
    return propertyListClasses() + QStringList{URL, Value, ErrorClass, Null};
}

QString storedKey(const QString& key)
{
    return key.startsWith(QLatin1Char('$')) ? QLatin1Char('$') + key : key;
}

QString rectText(const QRectF& rect)
{
    const auto number = [](qreal value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); };
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(number(rect.x()), number(rect.y()), number(rect.width()), number(rect.height()));
}

std::optional<QRectF> rectFromText(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*\{\s*\{([^,{}]+),([^,{}]+)\}\s*,\s*\{([^,{}]+),([^,{}]+)\}\s*\}\s*$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    qreal values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = match.captured(i + 1).trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(values[i]))
            return std::nullopt;
    }
    return QRectF(values[0], values[1], values[2], values[3]);
}

} // namespace platform::KeyedArchiveFormat
