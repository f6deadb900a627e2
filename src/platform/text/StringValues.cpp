#include "platform/text/StringValues.h"

#include <QRegularExpression>

#include <limits>

namespace platform::StringValues {

namespace {

qsizetype skipBlanks(const QString& text, qsizetype at)
{
    while (at < text.size() && text.at(at).isSpace())
        ++at;
    return at;
}

} // namespace

bool boolValue(const QString& text)
{
    qsizetype at = skipBlanks(text, 0);
    if (at < text.size() && (text.at(at) == u'+' || text.at(at) == u'-'))
        ++at;
    while (at < text.size() && text.at(at) == u'0')
        ++at;
    if (at >= text.size())
        return false;
    const QChar first = text.at(at);
    return first == u'Y' || first == u'y' || first == u'T' || first == u't' || (first >= u'1' && first <= u'9');
}

double doubleValue(const QString& text)
{
    static const QRegularExpression leading(QStringLiteral(R"(^\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?))"));
    const auto match = leading.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

qint64 integerValue(const QString& text)
{
    qsizetype at = skipBlanks(text, 0);
    bool negative = false;
    if (at < text.size() && (text.at(at) == u'+' || text.at(at) == u'-'))
        negative = text.at(at++) == u'-';
    qint64 value = 0;
    constexpr qint64 limit = std::numeric_limits<qint64>::max();
    for (; at < text.size() && text.at(at).isDigit() && text.at(at).unicode() < 128; ++at) {
        const int digit = text.at(at).unicode() - u'0';
        if (value > (limit - digit) / 10)
            return negative ? std::numeric_limits<qint64>::min() : limit;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

bool isInteger(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

bool isNumber(const QVariant& value)
{
    return isInteger(value) || value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float;
}

bool boolValue(const QVariant& value)
{
    if (isNumber(value))
        return value.toDouble() != 0.0;
    return value.typeId() == QMetaType::QString && boolValue(value.toString());
}

double doubleValue(const QVariant& value)
{
    if (isNumber(value))
        return value.toDouble();
    return value.typeId() == QMetaType::QString ? doubleValue(value.toString()) : 0.0;
}

qint64 integerValue(const QVariant& value)
{
    if (isNumber(value))
        return value.toLongLong();
    return value.typeId() == QMetaType::QString ? integerValue(value.toString()) : 0;
}

} // namespace platform::StringValues
