#include "core/text/UtsDateFormatter.h"

#include <unicode/datefmt.h>
#include <unicode/smpdtfmt.h>

#include <cmath>

namespace {
icu::UnicodeString toUnicode(const QString& text)
{
    return icu::UnicodeString(reinterpret_cast<const UChar*>(text.constData()), int32_t(text.size()));
}

QString fromUnicode(const icu::UnicodeString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

icu::DateFormat::EStyle icuStyle(UtsDateFormatter::Style style)
{
    switch (style) {
    case UtsDateFormatter::Style::None:
        return icu::DateFormat::kNone;
    case UtsDateFormatter::Style::Short:
        return icu::DateFormat::kShort;
    case UtsDateFormatter::Style::Medium:
        return icu::DateFormat::kMedium;
    case UtsDateFormatter::Style::Long:
        return icu::DateFormat::kLong;
    case UtsDateFormatter::Style::Full:
        return icu::DateFormat::kFull;
    }
    return icu::DateFormat::kNone;
}
} // namespace

UtsDateFormatter::UtsDateFormatter(const QString& pattern)
{
    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(toUnicode(pattern), status);
    if (U_SUCCESS(status)) {
        format->setLenient(false);
        m_format = std::move(format);
    }
}

UtsDateFormatter::UtsDateFormatter(Style dateAndTimeStyle)
    : m_format(icu::DateFormat::createDateTimeInstance(icuStyle(dateAndTimeStyle), icuStyle(dateAndTimeStyle)))
{
}

UtsDateFormatter::~UtsDateFormatter() = default;

QString UtsDateFormatter::format(const QDateTime& date) const
{
    if (!m_format || !date.isValid())
        return {};
    icu::UnicodeString text;
    m_format->format(UDate(date.toMSecsSinceEpoch()), text);
    return fromUnicode(text);
}

QDateTime UtsDateFormatter::parse(const QString& text) const
{
    if (!m_format)
        return {};
    const icu::UnicodeString source = toUnicode(text);
    icu::ParsePosition position(0);
    const UDate date = m_format->parse(source, position);
    if (source.isEmpty() || position.getErrorIndex() >= 0 || position.getIndex() != source.length())
        return {};
    return QDateTime::fromMSecsSinceEpoch(qint64(std::floor(date)));
}
