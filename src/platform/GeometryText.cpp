#include "platform/GeometryText.h"

#include <QRegularExpression>

namespace platform::GeometryText {

QPointF pointFromString(const QString& text)
{
    static const QRegularExpression number(QStringLiteral(R"([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)"));
    double coordinates[2] = {0.0, 0.0};
    auto matches = number.globalMatch(text);
    for (double& coordinate : coordinates) {
        if (!matches.hasNext())
            break;
        coordinate = matches.next().captured().toDouble();
    }
    return {coordinates[0], coordinates[1]};
}

} // namespace platform::GeometryText
