#include "platform/text/GeometryText.h"

#include <QLocale>
#include <QRegularExpression>

#include <array>

namespace platform::GeometryText {

namespace {

template <std::size_t Count>
std::array<double, Count> leadingNumbers(const QString& text)
{
    static const QRegularExpression number(QStringLiteral(R"([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)"));
    std::array<double, Count> numbers{};
    auto matches = number.globalMatch(text);
    for (double& value : numbers) {
        if (!matches.hasNext())
            break;
        value = matches.next().captured().toDouble();
    }
    return numbers;
}

} // namespace

QPointF pointFromString(const QString& text)
{
    const auto n = leadingNumbers<2>(text);
    return {n[0], n[1]};
}

QSizeF sizeFromString(const QString& text)
{
    const auto n = leadingNumbers<2>(text);
    return {n[0], n[1]};
}

QRectF rectFromString(const QString& text)
{
    const auto n = leadingNumbers<4>(text);
    return {n[0], n[1], n[2], n[3]};
}

QString stringFromNumber(double value)
{
    if (value == 0.0)
        return QStringLiteral("0"); // never "-0"
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString stringFromPoint(const QPointF& point)
{
    return QStringLiteral("{%1, %2}").arg(stringFromNumber(point.x()), stringFromNumber(point.y()));
}

QString stringFromSize(const QSizeF& size)
{
    return QStringLiteral("{%1, %2}").arg(stringFromNumber(size.width()), stringFromNumber(size.height()));
}

QString stringFromRect(const QRectF& rect)
{
    return QStringLiteral("{%1, %2}").arg(stringFromPoint(rect.topLeft()), stringFromSize(rect.size()));
}

} // namespace platform::GeometryText
