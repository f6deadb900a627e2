#include "core/foundation/ZORVAK_email.h"

#include <QRegularExpression>

namespace ZORVAK_email {
namespace {
// The widely used RFC 5322 address expression, kept character for character
// (including its "\x21-\x5a\x53-\x7f" range) so that it accepts what it always did.
const QString addressPattern = QStringLiteral(R"re((?:[a-z0-9!#$%\&'*+/=?\^_`{|}~-]+(?:\.[a-z0-9!#$%\&'*+/=?\^_`{|}~-]+)*|"(?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21\x23-\x5b\x5d-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])*")@(?:(?:[a-z0-9](?:[a-z0-9-]*[a-z0-9])?\.)+[a-z0-9](?:[a-z0-9-]*[a-z0-9])?|\[(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?|[a-z0-9-]*[a-z0-9]:(?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21-\x5a\x53-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])+)\]))re");

const QRegularExpression& addressExpression()
{
    static const QRegularExpression expression(QRegularExpression::anchoredPattern(addressPattern));
    return expression;
}
} // namespace

bool isValidEmailAddress(const QString& text)
{
    return addressExpression().match(text.toLower()).hasMatch();
}

} // namespace ZORVAK_email
