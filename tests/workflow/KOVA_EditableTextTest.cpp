#include "workflow/KOVA_EditableText.h"

#include "core/KOVA_Constants.h"
#include "platform/UserDefaults.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

QString number(int n) { return QString::number(n); }

QMap<QString, QString> defaultTexts()
{
    QMap<QString, QString> texts;
    for (int n = 1; n <= KOVA_EditableText::numberOfTexts; ++n)
        texts.insert(number(n), QStringLiteral("Editable Text #%1").arg(n));
    return texts;
}

QVariantMap storedTexts(const QStringList& keys)
{
    QVariantMap stored;
    for (const QString& key : keys)
        stored.insert(key, QStringLiteral("kept %1").arg(key));
    return stored;
}

QStringList olderKeys(int count)
{
    QStringList keys;
    for (int n = 1; n <= count; ++n)
        keys << QStringLiteral("text %1").arg(n);
    return keys;
}

// What the preferences file holds now, read by a fresh object so that the
// texts must have reached the disk.
QVariantMap textsOnDisk()
{
    platform::UserDefaults fromDisk(platform::UserDefaults::standardDomain());
    return fromDisk.dictionaryForKey(key_KOVA_EditableText);
}

QStringList keysOf(const std::vector<std::shared_ptr<KOVA_EditableText>>& objects)
{
    QStringList keys;
    for (const auto& object : objects)
        keys << object->key();
    return keys;
}

QStringList numberedKeys()
{
    QStringList keys;
    for (int n = 1; n <= KOVA_EditableText::numberOfTexts; ++n)
        keys << number(n);
    return keys;
}

class ValueRecorder : public platform::KeyValueObserver {
public:
    void observeValueForKeyPath(const QString& keyPath, platform::Observable&, const QVariantMap& change,
                                const void*) override
    {
        notices.append({keyPath, change});
    }

    QList<std::pair<QString, QVariantMap>> notices;
};

} // namespace

TEST(KOVA_EditableTextLoading, missingNumbersGetTheirDefaults)
{
    // Nothing stored, or something that is not a dictionary.
    EXPECT_EQ(KOVA_EditableText::storageFromPreferences(QVariant()), defaultTexts());
    EXPECT_EQ(KOVA_EditableText::storageFromPreferences(QVariantList{QStringLiteral("1")}), defaultTexts());

    // Stored texts stay; only the missing numbers are filled in.
    const auto partial = KOVA_EditableText::storageFromPreferences(storedTexts({QStringLiteral("1"), QStringLiteral("5")}));
    auto expected = defaultTexts();
    expected[QStringLiteral("1")] = QStringLiteral("kept 1");
    expected[QStringLiteral("5")] = QStringLiteral("kept 5");
    EXPECT_EQ(partial, expected);

    // An empty text is a text, not a missing one; a value that is not text is.
    QVariantMap odd{{QStringLiteral("2"), QString()}, {QStringLiteral("3"), 42}};
    const auto filled = KOVA_EditableText::storageFromPreferences(odd);
    EXPECT_EQ(filled.value(QStringLiteral("2"), QStringLiteral("absent")), QString());
    EXPECT_EQ(filled.value(QStringLiteral("3")), QStringLiteral("Editable Text #3"));

    // Twenty or more entries get no defaults, whatever their keys.
    QStringList many = numberedKeys().mid(0, 19);
    many << QStringLiteral("extra");
    const auto twenty = KOVA_EditableText::storageFromPreferences(storedTexts(many));
    EXPECT_EQ(twenty.size(), 20);
    EXPECT_FALSE(twenty.contains(QStringLiteral("20")));
}

TEST(KOVA_EditableTextLoading, olderTextKeysGiveWayOnlyAsACompleteSet)
{
    EXPECT_EQ(KOVA_EditableText::storageFromPreferences(storedTexts(olderKeys(20))), defaultTexts());

    // Fewer than twenty older keys are kept beside the defaults.
    const auto nineteen = KOVA_EditableText::storageFromPreferences(storedTexts(olderKeys(19)));
    EXPECT_EQ(nineteen.size(), 39);
    EXPECT_EQ(nineteen.value(QStringLiteral("text 7")), QStringLiteral("kept text 7"));

    // Twenty entries of which one is a numbered text: nothing the operator
    // wrote is thrown away, whichever key happens to come first.
    for (const QString& numbered : {QStringLiteral("1"), QStringLiteral("zz")}) {
        QStringList mixed = olderKeys(19);
        mixed << numbered;
        const auto kept = KOVA_EditableText::storageFromPreferences(storedTexts(mixed));
        EXPECT_EQ(kept.size(), 20) << numbered.toStdString();
        EXPECT_EQ(kept.value(numbered), QStringLiteral("kept %1").arg(numbered));
        EXPECT_EQ(kept.value(QStringLiteral("text 1")), QStringLiteral("kept text 1"));
    }
}

TEST(KOVA_EditableText, objectsAreOrderedByNumberNotByText)
{
    EXPECT_EQ(keysOf(KOVA_EditableText::editableTextObjects()), numberedKeys());

    const QStringList extraKeys{QStringLiteral("text 10"), QStringLiteral("Text 9"), QStringLiteral("text 2"),
                                QStringLiteral("text 02x")};
    for (const QString& key : extraKeys)
        KOVA_EditableText::setEditableText(QStringLiteral("older"), key);

    QStringList expected = numberedKeys();
    expected << QStringLiteral("text 2") << QStringLiteral("text 02x") << QStringLiteral("Text 9")
             << QStringLiteral("text 10");
    EXPECT_EQ(keysOf(KOVA_EditableText::editableTextObjects()), expected);

    for (const QString& key : extraKeys)
        KOVA_EditableText::setEditableText(std::nullopt, key);
    EXPECT_EQ(keysOf(KOVA_EditableText::editableTextObjects()), numberedKeys());
}

TEST(KOVA_EditableText, settingAValueSavesTheWholeStorageAndIsAnnounced)
{
    const QString key = QStringLiteral("7");
    const QString before = KOVA_EditableText::editableTextForKey(key).value_or(QString());
    auto object = KOVA_EditableText::editableTextObjects().at(6);
    ASSERT_EQ(object->key(), key);

    auto recorder = std::make_shared<ValueRecorder>();
    object->addObserver(recorder, QStringLiteral("value"),
                        platform::KeyValueObservingOptionOld | platform::KeyValueObservingOptionNew, nullptr);
    object->setValue(QStringLiteral("Happy Birthday"));
    object->removeObserver(recorder.get(), QStringLiteral("value"), nullptr);

    ASSERT_EQ(recorder->notices.size(), 1);
    EXPECT_EQ(recorder->notices[0].second.value(platform::KeyValueChangeOldKey).toString(), before);
    EXPECT_EQ(recorder->notices[0].second.value(platform::KeyValueChangeNewKey).toString(),
              QStringLiteral("Happy Birthday"));

    EXPECT_EQ(KOVA_EditableText::editableTextForKey(key), QStringLiteral("Happy Birthday"));
    EXPECT_EQ(KOVA_EditableText(key).value(), QStringLiteral("Happy Birthday"));

    // The defaults made in memory are saved along with the change.
    const QVariantMap saved = textsOnDisk();
    EXPECT_EQ(saved.size(), 20);
    EXPECT_EQ(saved.value(key).toString(), QStringLiteral("Happy Birthday"));
    EXPECT_EQ(saved.value(QStringLiteral("20")).toString(), KOVA_EditableText::privateStorage().value(QStringLiteral("20")));

    object->setValue(before);
}

TEST(KOVA_EditableText, aKeyWithoutEntryReadsAsNoneOrEmpty)
{
    EXPECT_EQ(KOVA_EditableText::editableTextForKey(QStringLiteral("21")), std::nullopt);
    EXPECT_EQ(KOVA_EditableText(QStringLiteral("21")).value(), QString());

    const QString key = QStringLiteral("9");
    const std::optional<QString> before = KOVA_EditableText::editableTextForKey(key);
    ASSERT_TRUE(before);
    ASSERT_TRUE(KOVA_EditableText::setEditableText(std::nullopt, key));
    EXPECT_EQ(KOVA_EditableText::editableTextForKey(key), std::nullopt);
    EXPECT_FALSE(textsOnDisk().contains(key));
    EXPECT_EQ(KOVA_EditableText::editableTextObjects().size(), 19u);

    KOVA_EditableText::setEditableText(before, key);
    EXPECT_EQ(textsOnDisk().value(key).toString(), *before);
}

TEST(KOVA_EditableText, concurrentChangesAndReadsEndWithTheLastTextsSaved)
{
    constexpr int writers = 4;
    constexpr int rounds = 12;
    const QMap<QString, QString> before = KOVA_EditableText::privateStorage();

    std::atomic<int> writing{writers};
    std::atomic<bool> readsSawOnlyText{true};
    std::vector<std::thread> threads;
    for (int writer = 0; writer < writers; ++writer) {
        threads.emplace_back([writer, &writing] {
            KOVA_EditableText own(number(writer + 1));
            KOVA_EditableText shared(QStringLiteral("20"));
            for (int round = 1; round <= rounds; ++round) {
                own.setValue(QStringLiteral("writer %1 round %2").arg(writer).arg(round));
                shared.setValue(QStringLiteral("shared by %1").arg(writer));
            }
            --writing;
        });
    }
    for (int reader = 0; reader < 3; ++reader) {
        threads.emplace_back([&writing, &readsSawOnlyText] {
            KOVA_EditableText object(QStringLiteral("1"));
            while (writing.load() > 0) {
                const auto objects = KOVA_EditableText::editableTextObjects();
                if (objects.size() != 20 || object.value().isEmpty()
                    || !KOVA_EditableText::editableTextForKey(QStringLiteral("20")))
                    readsSawOnlyText = false;
                for (const auto& each : objects)
                    static_cast<void>(each->value());
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    EXPECT_TRUE(readsSawOnlyText);
    const QMap<QString, QString> after = KOVA_EditableText::privateStorage();
    for (int writer = 0; writer < writers; ++writer)
        EXPECT_EQ(after.value(number(writer + 1)), QStringLiteral("writer %1 round %2").arg(writer).arg(rounds));

    // The file holds the latest texts, not a snapshot that lost a race.
    const QVariantMap saved = textsOnDisk();
    ASSERT_EQ(saved.size(), after.size());
    for (auto entry = after.cbegin(); entry != after.cend(); ++entry)
        EXPECT_EQ(saved.value(entry.key()).toString(), entry.value()) << entry.key().toStdString();

    for (auto entry = before.cbegin(); entry != before.cend(); ++entry)
        KOVA_EditableText::setEditableText(entry.value(), entry.key());
}
