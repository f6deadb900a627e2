#include "core/foundation/ZORVAK_ByteCountTransformer.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <functional>
#include <limits>

namespace {
const QString digitsAndPoint = QStringLiteral("0123456789.");

struct Unit {
    QChar initial;
    double bytes;
};
// In the order the suffix is tested.
const Unit units[] = { { u'm', 1048576.0 }, { u'k', 1024.0 }, { u'g', 1073741824.0 } };

// The leading number of `run` (digits and points); 0 when there is none, and
// the largest double when it is too long for one.
double leadingNumber(const QString& run)
{
    const QByteArray latin = run.toLatin1();
    double number = 0;
    const auto [end, error] = std::from_chars(latin.constData(), latin.constData() + latin.size(), number);
    if (error == std::errc::result_out_of_range)
        return std::numeric_limits<double>::max();
    return error == std::errc() ? number : 0;
}

qint64 truncatedToInt64(double number)
{
    if (std::isnan(number))
        return 0;
    // 2^63 is the first double past the range.
    if (number >= 9223372036854775808.0)
        return std::numeric_limits<qint64>::max();
    if (number <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return qint64(number);
}

qsizetype indexOfFirst(const QString& text, qsizetype from, const std::function<bool(QChar)>& matches)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (matches(text.at(i)))
            return i;
    }
    return text.size();
}

QString suffixText(double count, const char* unit)
{
    QString number = QLocale::c().toString(count, 'f', 2);
    while (number.endsWith(u'0'))
        number.chop(1);
    if (number.endsWith(u'.'))
        number.chop(1);
    return number + u' ' + QLatin1String(unit);
}
} // namespace

QVariant ZORVAK_ByteCountTransformer::transformedValue(const QVariant& value)
{
    bool isNumber = false;
    const qint64 bytes = value.toLongLong(&isNumber);
    if (!isNumber || value.typeId() == QMetaType::QString)
        return {};
    const double magnitude = std::abs(double(bytes));
    if (magnitude < 1024)
        return QString::number(bytes) + (magnitude == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
    if (magnitude < 1048576)
        return suffixText(double(bytes) / 1024, "KB");
    if (magnitude < 1073741824)
        return suffixText(double(bytes) / 1048576, "MB");
    return suffixText(double(bytes) / 1073741824, "GB");
}

QVariant ZORVAK_ByteCountTransformer::reverseTransformedValue(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return qint64(0);
    const QString text = value.toString();
    const qsizetype numberStart = indexOfFirst(text, 0, [](QChar c) { return digitsAndPoint.contains(c); });
    const qsizetype numberEnd = indexOfFirst(text, numberStart, [](QChar c) { return !digitsAndPoint.contains(c); });
    double number = leadingNumber(text.mid(numberStart, numberEnd - numberStart));
    const qsizetype suffixStart = indexOfFirst(text, numberEnd, [](QChar c) { return c.isLetter(); });
    if (suffixStart < text.size()) {
        const QChar initial = text.at(suffixStart).toLower();
        for (const Unit& unit : units) {
            if (initial == unit.initial) {
                number *= unit.bytes;
                break;
            }
        }
    }
    return truncatedToInt64(number);
}
