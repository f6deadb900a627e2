#include "printing/pages/PrintPageTexts.h"

namespace PrintPageTexts {

QString describedOrNull(const QString& text)
{
    return text.isNull() ? QStringLiteral("(null)") : text;
}

QString settingsDescription(const QString& model, const QString& paper, const QString& quality, const QString& overcoat,
                            const QString& media)
{
    return QStringLiteral("%1 %2, %3, %4\n%5")
        .arg(describedOrNull(model), describedOrNull(paper), describedOrNull(quality), describedOrNull(overcoat), mediaName(media));
}

QString mediaName(const QString& media)
{
    return QStringLiteral("( %1 media )").arg(describedOrNull(media));
}

QString reason(const QString& storedReason, const QString& model, const QString& media)
{
    if (!storedReason.isNull())
        return storedReason;
    return QStringLiteral("No %1 with %2 media%3").arg(model.isNull() ? QStringLiteral("printer") : model, describedOrNull(media), QString());
}

} // namespace PrintPageTexts
