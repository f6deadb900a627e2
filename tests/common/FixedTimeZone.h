#pragma once

#include <QByteArray>

#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <ctime>
#include <memory>

// Puts Qt's local time (TZ) and ICU's default zone into one time zone, and ICU's
// default locale to one locale, for the life of the object.
class FixedTimeZone {
public:
    explicit FixedTimeZone(const char* zone, const char* locale = "en_US")
    {
        qputenv("TZ", zone);
        tzset();
        icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(zone));
        setLocale(icu::Locale(locale));
    }
    ~FixedTimeZone()
    {
        m_hadTz ? qputenv("TZ", m_previousTz) : qunsetenv("TZ");
        tzset();
        icu::TimeZone::adoptDefault(m_previousZone.release());
        setLocale(m_previousLocale);
    }
    FixedTimeZone(const FixedTimeZone&) = delete;
    FixedTimeZone& operator=(const FixedTimeZone&) = delete;

    static void setLocale(const icu::Locale& locale)
    {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(locale, status);
    }

private:
    const QByteArray m_previousTz = qgetenv("TZ");
    const bool m_hadTz = qEnvironmentVariableIsSet("TZ");
    std::unique_ptr<icu::TimeZone> m_previousZone{icu::TimeZone::createDefault()};
    const icu::Locale m_previousLocale = icu::Locale::getDefault();
};
