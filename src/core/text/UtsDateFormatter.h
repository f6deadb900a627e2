#pragma once

#include <QDateTime>
#include <QString>

#include <memory>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class DateFormat;
U_NAMESPACE_END

// A date formatter of the default locale and time zone, made either from a
// Unicode date pattern ("yyyy-MM-dd HH:mm:ss.SSS") or from a localised style.
// Parsing is strict: every field must be in range and the whole text must be read.
class UtsDateFormatter {
public:
    // The platform's date and time styles, in their numbering.
    enum class Style { None = 0, Short = 1, Medium = 2, Long = 3, Full = 4 };

    explicit UtsDateFormatter(const QString& pattern);
    explicit UtsDateFormatter(Style dateAndTimeStyle);
    ~UtsDateFormatter();
    UtsDateFormatter(const UtsDateFormatter&) = delete;
    UtsDateFormatter& operator=(const UtsDateFormatter&) = delete;

    // A null string when the date is invalid or the pattern is unusable.
    QString format(const QDateTime& date) const;
    // An invalid date when the text does not match the pattern.
    QDateTime parse(const QString& text) const;

private:
    std::unique_ptr<icu::DateFormat> m_format;
};
