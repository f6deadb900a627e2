#include "printing/pages/ZORVAK_PrintPage.h"

#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "platform/Log.h"
#include "platform/files/UTType.h"
#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/text/StringValues.h"
#include "printing/filters/ZORVAK_ImageFilter.h"

#include <cmath>
#include <limits>

// The import of the print centre's older tickets: a property list next to a JPEG picture of
// the same name, or a dictionary in the same vocabulary.

namespace Format = platform::KeyedArchiveFormat;

namespace {

const QString ColorAdjustSettingsKey = QStringLiteral("colorAdjustSettings");
const QString DestinationLabelTicketKey = QStringLiteral("destinationLabel");
const QString WebServerDictionaryKey = QStringLiteral("webServerDictionary");
const QString ClientDeviceNameKey = QStringLiteral("clienttdevicename");
const QString PrintQuantityKey = QStringLiteral("printQuantity");

const QString AdjustmentPrefix = QStringLiteral("colorAdjust");
const QString InputPrefix = QStringLiteral("input");
const QString TranslatedKey = QStringLiteral("key");
const QString TranslatedValue = QStringLiteral("value");

// One row of the colour adjustments: the names it accepts, the filter they set and how a name
// and its value become the filter's input.
struct AdjustmentRow {
    QStringList names;
    QString filterName;
    QVariantMap (*translation)(const QVariant& value);
};

QVariantMap untranslated(const QVariant&)
{
    return {};
}

QVariantMap channelVectors(const QVariant& value)
{
    const double number = value.toDouble();
    const auto entry = [](const QString& key, const QVariantList& vector) { return QVariantMap{{TranslatedKey, key}, {TranslatedValue, vector}}; };
    return {{QStringLiteral("Red"), entry(QStringLiteral("RVector"), ZORVAK_ImageFilter::vector(number, 0, 0, 0))},
            {QStringLiteral("Green"), entry(QStringLiteral("GVector"), ZORVAK_ImageFilter::vector(0, number, 0, 0))},
            {QStringLiteral("Blue"), entry(QStringLiteral("BVector"), ZORVAK_ImageFilter::vector(0, 0, number, 0))}};
}

// In the order the names are tried, which is also the order of the filters in the chain.
const AdjustmentRow AdjustmentRows[] = {
    {{QStringLiteral("Contrast"), QStringLiteral("Brightness"), QStringLiteral("Saturation")}, ZORVAK_ImageFilter::ColorControls, &untranslated},
    {{QStringLiteral("Exposure")}, ZORVAK_ImageFilter::ExposureAdjust,
     [](const QVariant&) { return QVariantMap{{QStringLiteral("Exposure"), QStringLiteral("EV")}}; }},
    {{QStringLiteral("Hue")}, ZORVAK_ImageFilter::HueAdjust, [](const QVariant&) { return QVariantMap{{QStringLiteral("Hue"), QStringLiteral("Angle")}}; }},
    {{QStringLiteral("Gamma")}, ZORVAK_ImageFilter::GammaAdjust, [](const QVariant&) { return QVariantMap{{QStringLiteral("Gamma"), QStringLiteral("Power")}}; }},
    {{QStringLiteral("Sharpness")}, ZORVAK_ImageFilter::SharpenLuminance, &untranslated},
    {{QStringLiteral("Red"), QStringLiteral("Green"), QStringLiteral("Blue")}, ZORVAK_ImageFilter::ColorMatrix, &channelVectors},
};

// The class a property-list value has on the print centre's platform, for the log.
QString className(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime: return Format::Date;
    case QMetaType::QByteArray: return Format::Data;
    case QMetaType::QVariantList: return Format::Array;
    case QMetaType::QVariantMap: return Format::Dictionary;
    case QMetaType::QString: return Format::String;
    default: return platform::StringValues::isNumber(value) ? Format::Number : QString::fromLatin1(value.typeName());
    }
}

// The adjustment's value as a number: a number as it is, a text as the number it begins with;
// nothing (logged) for anything else.
QVariant adjustmentValue(const QVariant& value)
{
    if (platform::StringValues::isNumber(value) || value.typeId() == QMetaType::QString)
        return platform::StringValues::doubleValue(value);
    platform::Log::log(QStringLiteral("bad value type (%1) passed via plist into %2")
                           .arg(className(value), QStringLiteral("-[ZORVAK_PrintPage filtersForOLDKOVAColorAdjustments:]")));
    return {};
}

// What the import reads of a ticket entry.
enum class EntryKind { Dictionary, Text, Number };

bool isOfKind(const QVariant& value, EntryKind kind)
{
    switch (kind) {
    case EntryKind::Dictionary: return value.typeId() == QMetaType::QVariantMap;
    case EntryKind::Text: return value.typeId() == QMetaType::QString;
    case EntryKind::Number: return platform::StringValues::isNumber(value);
    }
    return false;
}

// The entry of the ticket at `source` under `key` when it is of `kind`; an entry of another
// kind reads as absent and is logged.
QVariant ticketEntry(const QUrl& source, const QVariantMap& ticket, const QString& key, EntryKind kind)
{
    const QVariant value = ticket.value(key);
    if (!value.isValid() || isOfKind(value, kind))
        return value;
    platform::Log::error(QStringLiteral("the print ticket %1 holds a %2 under \"%3\"; it is taken as absent").arg(source.toString(), className(value), key));
    return {};
}

// The ticket's copy count, truncated to a whole number within the type.
qint64 ticketQuantity(const QVariant& value)
{
    if (platform::StringValues::isInteger(value))
        return value.toLongLong();
    const double number = value.toDouble();
    if (std::isnan(number))
        return 0;
    if (std::fabs(number) >= 0x1p63)
        return number < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return qint64(number);
}

// The picture of a ticket file: the same path with the JPEG type's extension.
QUrl ticketImageURL(const QUrl& ticket)
{
    const QString path = ticket.toLocalFile();
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > path.lastIndexOf(QLatin1Char('/')) + 1 ? path.left(dot) : path;
    return ZORVAK_Extras_NSURL::URLByAppendingPathExtensionForUTType(QUrl::fromLocalFile(stem), platform::kUTTypeJPEG);
}

} // namespace

std::shared_ptr<ZORVAK_PrintPage> ZORVAK_PrintPage::initWithOLDKOVA(const QVariant& ticket)
{
    return imported(std::make_shared<ZORVAK_PrintPage>(), ticket);
}

bool ZORVAK_PrintPage::importOLDKOVA(const QVariant& ticket)
{
    if (ticket.typeId() == QMetaType::QVariantMap)
        return true;
    if (ticket.typeId() != QMetaType::QUrl)
        return false;
    const std::optional<QVariantMap> dictionary = ticketDictionary(ticket);
    if (!dictionary)
        return false;
    const QUrl ticketURL = ticket.toUrl();
    const QUrl imageURL = ticketImageURL(ticketURL);
    if (!ZORVAK_Extras_NSURL::conformsToUTType(imageURL, platform::kUTTypeImage)) {
        platform::Log::error(QStringLiteral("cannot init a print page;no Image available at %1").arg(imageURL.toString()));
        return false;
    }
    importTicketFile(ticketURL, imageURL, *dictionary);
    return true;
}

void ZORVAK_PrintPage::importTicketFile(const QUrl& ticketURL, const QUrl& imageURL, const QVariantMap& ticket)
{
    const QDateTime modified = ZORVAK_Extras_NSURL::dateModified(ticketURL);
    if (modified.isValid())
        setPropertyValue(DateInitKey, modified.toUTC());
    setFileURLs({ticketURL, imageURL});
    setInputImages({imageURL});
    const auto entry = [&](const QVariantMap& dictionary, const QString& key, EntryKind kind) { return ticketEntry(ticketURL, dictionary, key, kind); };
    setImageFilters(filtersForOLDKOVAColorAdjustments(entry(ticket, ColorAdjustSettingsKey, EntryKind::Dictionary).toMap()));
    QVariant label = entry(ticket, DestinationLabelTicketKey, EntryKind::Text);
    if (!label.isValid())
        label = entry(entry(ticket, WebServerDictionaryKey, EntryKind::Dictionary).toMap(), ClientDeviceNameKey, EntryKind::Text);
    setDestinationLabel(label.toString());
    const qint64 copies = ticketQuantity(entry(ticket, PrintQuantityKey, EntryKind::Number));
    setCopies(copies == 0 ? 1 : copies);
    setRequiresIdealMedia(true);
}

ZORVAK_PrintPage::FilterChains ZORVAK_PrintPage::filtersForOLDKOVAColorAdjustments(const QVariantMap& adjustments)
{
    FilterCollection collection;
    for (auto adjustment = adjustments.cbegin(); adjustment != adjustments.cend(); ++adjustment) {
        const QString name = adjustment.key().startsWith(AdjustmentPrefix) ? adjustment.key().mid(AdjustmentPrefix.size()) : adjustment.key();
        const QVariant value = adjustmentValue(*adjustment);
        for (const AdjustmentRow& row : AdjustmentRows)
            setFilterForKey(name, value, collection, row.filterName, row.names, row.translation(value));
    }
    QVariantList chain;
    for (const AdjustmentRow& row : AdjustmentRows) {
        if (const std::shared_ptr<ZORVAK_ImageFilter> filter = collection.value(row.filterName))
            chain.append(platform::Archivable::toVariant(filter));
    }
    return {QVariant(chain)};
}

std::shared_ptr<ZORVAK_ImageFilter> ZORVAK_PrintPage::filterNamed(const QString& name, FilterCollection& collection)
{
    std::shared_ptr<ZORVAK_ImageFilter>& filter = collection[name];
    if (!filter)
        filter = std::make_shared<ZORVAK_ImageFilter>(name);
    return filter;
}

bool ZORVAK_PrintPage::setFilterForKey(const QString& key, const QVariant& value, FilterCollection& collection, const QString& filterName,
                                       const QStringList& possibleKeys, const QVariantMap& translation)
{
    if (!value.isValid() || !possibleKeys.contains(key))
        return false;
    const std::shared_ptr<ZORVAK_ImageFilter> filter = filterNamed(filterName, collection);
    QString inputName = key;
    QVariant inputValue = value;
    const QVariant translated = translation.value(key);
    if (translated.typeId() == QMetaType::QString) {
        inputName = translated.toString();
    } else if (translated.typeId() == QMetaType::QVariantMap) {
        inputName = translated.toMap().value(TranslatedKey, inputName).toString();
        inputValue = translated.toMap().value(TranslatedValue, inputValue);
    }
    filter->setValueForKey(inputValue, InputPrefix + inputName);
    return false;
}
