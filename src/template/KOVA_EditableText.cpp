#include "template/KOVA_EditableText.h"

#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"

#include <QStringView>

#include <algorithm>
#include <shared_mutex>

namespace {

const QString olderKeyPrefix = QStringLiteral("text ");
const QString keyName = QStringLiteral("key");
const QString valueName = QStringLiteral("value");

// The process-wide storage. Readers share `lock`; a change holds it alone only
// while the texts change in memory. `saving` is held from a change until its
// snapshot is written, so that saves follow one another in the order of the
// changes and a later save never carries older texts.
struct Storage {
    explicit Storage(QMap<QString, QString> loaded)
        : texts(std::move(loaded))
    {
    }

    std::shared_mutex lock;
    QMap<QString, QString> texts;
    std::mutex saving;
};

Storage& storage()
{
    static Storage shared(KOVA_EditableText::storageFromPreferences(
        platform::UserDefaults::standardUserDefaults()->objectForKey(key_KOVA_EditableText)));
    return shared;
}

bool isAsciiDigit(QChar character) { return character >= QLatin1Char('0') && character <= QLatin1Char('9'); }

qsizetype endOfDigits(QStringView text, qsizetype from)
{
    while (from < text.size() && isAsciiDigit(text[from]))
        ++from;
    return from;
}

QStringView withoutLeadingZeros(QStringView digits)
{
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits[first] == QLatin1Char('0'))
        ++first;
    return digits.mid(first);
}

// Compares two runs of digits by their value, however long they are.
int compareNumbers(QStringView left, QStringView right)
{
    left = withoutLeadingZeros(left);
    right = withoutLeadingZeros(right);
    if (left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    return left.compare(right);
}

int compareCharacters(QChar left, QChar right)
{
    const char16_t foldedLeft = left.toCaseFolded().unicode();
    const char16_t foldedRight = right.toCaseFolded().unicode();
    return foldedLeft == foldedRight ? 0 : (foldedLeft < foldedRight ? -1 : 1);
}

// Case-insensitive numeric ordering: runs of digits by their value, all other
// characters by their case-folded code. Texts that differ only in case or in
// leading zeros fall back to a plain comparison, so the order is total.
bool comesBefore(const QString& left, const QString& right)
{
    qsizetype l = 0;
    qsizetype r = 0;
    while (l < left.size() && r < right.size()) {
        int order = 0;
        if (isAsciiDigit(left[l]) && isAsciiDigit(right[r])) {
            const qsizetype leftEnd = endOfDigits(left, l);
            const qsizetype rightEnd = endOfDigits(right, r);
            order = compareNumbers(QStringView(left).mid(l, leftEnd - l), QStringView(right).mid(r, rightEnd - r));
            l = leftEnd;
            r = rightEnd;
        } else {
            order = compareCharacters(left[l++], right[r++]);
        }
        if (order != 0)
            return order < 0;
    }
    const qsizetype leftRest = left.size() - l;
    const qsizetype rightRest = right.size() - r;
    if (leftRest != rightRest)
        return leftRest < rightRest;
    return left < right;
}

QString defaultText(int number) { return QStringLiteral("Editable Text #%1").arg(number); }

bool holdsOnlyOlderKeys(const QMap<QString, QString>& texts)
{
    return std::all_of(texts.keyBegin(), texts.keyEnd(),
                       [](const QString& key) { return key.startsWith(olderKeyPrefix); });
}

QVariantMap preferenceValue(const QMap<QString, QString>& texts)
{
    QVariantMap value;
    for (auto entry = texts.cbegin(); entry != texts.cend(); ++entry)
        value.insert(entry.key(), entry.value());
    return value;
}

} // namespace

QMap<QString, QString> KOVA_EditableText::storageFromPreferences(const QVariant& stored)
{
    QMap<QString, QString> texts;
    if (stored.typeId() == QMetaType::QVariantMap) {
        const QVariantMap entries = stored.toMap();
        for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry) {
            if (entry.value().typeId() == QMetaType::QString)
                texts.insert(entry.key(), entry.value().toString());
        }
    }

    // The older scheme numbered its texts "text 1" to "text 20"; such a set
    // gives way to the numbered texts. A set that mixes both is kept whole.
    if (texts.size() == numberOfTexts && holdsOnlyOlderKeys(texts))
        texts.clear();

    if (texts.size() < numberOfTexts) {
        for (int number = 1; number <= numberOfTexts; ++number) {
            const QString key = QString::number(number);
            if (!texts.contains(key))
                texts.insert(key, defaultText(number));
        }
    }
    return texts;
}

QMap<QString, QString> KOVA_EditableText::privateStorage()
{
    Storage& shared = storage();
    std::shared_lock lock(shared.lock);
    return shared.texts;
}

std::optional<QString> KOVA_EditableText::editableTextForKey(const QString& key)
{
    Storage& shared = storage();
    std::shared_lock lock(shared.lock);
    const auto entry = shared.texts.constFind(key);
    if (entry == shared.texts.cend())
        return std::nullopt;
    return entry.value();
}

bool KOVA_EditableText::setEditableText(const std::optional<QString>& text, const QString& key)
{
    Storage& shared = storage();
    std::lock_guard saving(shared.saving);
    QMap<QString, QString> snapshot;
    {
        std::unique_lock lock(shared.lock);
        if (text)
            shared.texts.insert(key, *text);
        else
            shared.texts.remove(key);
        snapshot = shared.texts;
    }
    return platform::UserDefaults::standardUserDefaults()->setObject(preferenceValue(snapshot),
                                                                     key_KOVA_EditableText);
}

std::vector<std::shared_ptr<KOVA_EditableText>> KOVA_EditableText::editableTextObjects()
{
    QStringList keys = privateStorage().keys();
    std::sort(keys.begin(), keys.end(), comesBefore);
    std::vector<std::shared_ptr<KOVA_EditableText>> objects;
    objects.reserve(keys.size());
    for (const QString& key : std::as_const(keys))
        objects.push_back(std::make_shared<KOVA_EditableText>(key));
    return objects;
}

KOVA_EditableText::KOVA_EditableText(const QString& key)
    : m_key(key)
{
}

QString KOVA_EditableText::key() const
{
    std::lock_guard lock(m_keyMutex);
    return m_key;
}

void KOVA_EditableText::setKey(const QString& key)
{
    willChangeValueForKey(keyName);
    {
        std::lock_guard lock(m_keyMutex);
        m_key = key;
    }
    didChangeValueForKey(keyName);
}

QString KOVA_EditableText::value() const
{
    return editableTextForKey(key()).value_or(QString());
}

void KOVA_EditableText::setValue(const QString& value)
{
    willChangeValueForKey(valueName);
    setEditableText(value, key());
    didChangeValueForKey(valueName);
}

QVariant KOVA_EditableText::valueForKey(const QString& key) const
{
    if (key == keyName)
        return this->key();
    if (key == valueName)
        return value();
    return Observable::valueForKey(key);
}
