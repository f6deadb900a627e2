#include "template/KOVA_EditableText.h"

#include "ChangeRecorder.h"
#include "FileFixtures.h"
#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/plist/PropertyList.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

using Texts = QMap<QString, QString>;

QStringList keysNumbered(const QString& pattern, int count)
{
    QStringList keys;
    for (int n = 1; n <= count; ++n)
        keys << pattern.arg(n);
    return keys;
}

const QStringList numberedKeys = keysNumbered(QStringLiteral("%1"), KOVA_EditableText::numberOfTexts);

Texts defaultTexts()
{
    Texts texts;
    for (const QString& key : numberedKeys)
        texts.insert(key, QStringLiteral("Editable Text #") + key);
    return texts;
}

QVariantMap storedTexts(const QStringList& keys)
{
    QVariantMap stored;
    for (const QString& key : keys)
        stored.insert(key, QStringLiteral("kept ") + key);
    return stored;
}

QVariantMap asVariantMap(const Texts& texts)
{
    QVariantMap map;
    for (auto entry = texts.cbegin(); entry != texts.cend(); ++entry)
        map.insert(entry.key(), entry.value());
    return map;
}

Texts loaded(const QVariant& stored) { return KOVA_EditableText::storageFromPreferences(stored); }

// What the preferences file holds, read from the file so that the texts must
// have reached the disk.
QVariantMap textsOnDisk()
{
    const QByteArray stored = kova::test::readFile(platform::UserDefaults::standardUserDefaults()->filePath());
    return platform::PropertyList::fromData(stored).toMap().value(key_KOVA_EditableText).toMap();
}

QStringList objectKeys()
{
    QStringList keys;
    for (const auto& object : KOVA_EditableText::editableTextObjects())
        keys << object->key();
    return keys;
}

} // namespace

TEST(KOVA_EditableTextLoading, missingNumbersGetTheirDefaults)
{
    EXPECT_EQ(loaded(QVariant()), defaultTexts());
    EXPECT_EQ(loaded(QVariantList{QStringLiteral("1")}), defaultTexts());

    Texts expected = defaultTexts();
    expected[QStringLiteral("1")] = QStringLiteral("kept 1");
    expected[QStringLiteral("5")] = QStringLiteral("kept 5");
    EXPECT_EQ(loaded(storedTexts({QStringLiteral("1"), QStringLiteral("5")})), expected);

    // An empty text is a text; a value that is not text is missing.
    const Texts odd = loaded(QVariantMap{{QStringLiteral("2"), QString()}, {QStringLiteral("3"), 42}});
    EXPECT_EQ(odd.value(QStringLiteral("2"), QStringLiteral("absent")), QString());
    EXPECT_EQ(odd.value(QStringLiteral("3")), QStringLiteral("Editable Text #3"));

    // Twenty entries get no defaults, whatever their keys.
    const Texts twenty = loaded(storedTexts(numberedKeys.mid(0, 19) << QStringLiteral("extra")));
    EXPECT_EQ(twenty.size(), 20);
    EXPECT_FALSE(twenty.contains(QStringLiteral("20")));
}

TEST(KOVA_EditableTextLoading, olderTextKeysGiveWayOnlyAsACompleteSet)
{
    const QString older = QStringLiteral("text %1");
    EXPECT_EQ(loaded(storedTexts(keysNumbered(older, 20))), defaultTexts());

    const Texts nineteen = loaded(storedTexts(keysNumbered(older, 19)));
    EXPECT_EQ(nineteen.size(), 39);
    EXPECT_EQ(nineteen.value(QStringLiteral("text 7")), QStringLiteral("kept text 7"));

    // One numbered text among twenty keeps them all, whichever key comes first.
    for (const QString& numbered : {QStringLiteral("1"), QStringLiteral("zz")}) {
        const QVariantMap stored = storedTexts(keysNumbered(older, 19) << numbered);
        EXPECT_EQ(asVariantMap(loaded(stored)), stored) << numbered.toStdString();
    }
}

TEST(KOVA_EditableText, objectsAreOrderedByNumberNotByText)
{
    EXPECT_EQ(objectKeys(), numberedKeys);

    const QStringList older{QStringLiteral("text 10"), QStringLiteral("Text 9"), QStringLiteral("text 2"),
                            QStringLiteral("text 02x")};
    for (const QString& key : older)
        KOVA_EditableText::setEditableText(QStringLiteral("older"), key);
    EXPECT_EQ(objectKeys(), QStringList(numberedKeys) << QStringLiteral("text 2") << QStringLiteral("text 02x")
                                                      << QStringLiteral("Text 9") << QStringLiteral("text 10"));

    for (const QString& key : older)
        KOVA_EditableText::setEditableText(std::nullopt, key);
    EXPECT_EQ(objectKeys(), numberedKeys);
}

TEST(KOVA_EditableText, changesAreSavedWholeAndAnnounced)
{
    const QString key = QStringLiteral("7");
    const QString before = KOVA_EditableText::editableTextForKey(key).value_or(QString());
    auto object = KOVA_EditableText::editableTextObjects().at(6);
    ASSERT_EQ(object->key(), key);

    auto recorder = kova::test::ChangeRecorder::observing(*object, {QStringLiteral("value")});
    object->setValue(QStringLiteral("Happy Birthday"));
    object->removeObserver(recorder.get(), QStringLiteral("value"), nullptr);

    const auto changes = recorder->changes();
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0].oldValue.toString(), before);
    EXPECT_EQ(changes[0].newValue.toString(), QStringLiteral("Happy Birthday"));
    EXPECT_EQ(KOVA_EditableText(key).value(), QStringLiteral("Happy Birthday"));

    // The defaults made in memory are saved along with the change.
    const QVariantMap expected = asVariantMap(KOVA_EditableText::privateStorage());
    EXPECT_EQ(expected.size(), 20);
    EXPECT_EQ(textsOnDisk(), expected);

    // Removing an entry: none from the class, the empty text from an object.
    ASSERT_TRUE(KOVA_EditableText::setEditableText(std::nullopt, key));
    EXPECT_EQ(KOVA_EditableText::editableTextForKey(key), std::nullopt);
    EXPECT_EQ(object->value(), QString());
    EXPECT_FALSE(textsOnDisk().contains(key));
    EXPECT_EQ(objectKeys().size(), 19);

    object->setValue(before);
    EXPECT_EQ(textsOnDisk().value(key).toString(), before);
}

TEST(KOVA_EditableText, concurrentChangesAreSavedInTheirOrder)
{
    constexpr int writers = 4;
    constexpr int rounds = 15;
    const auto defaults = platform::UserDefaults::standardUserDefaults();
    auto saves = kova::test::ChangeRecorder::observing(*defaults, {key_KOVA_EditableText},
                                                       platform::KeyValueObservingOptionNew);

    std::atomic<int> writing{writers};
    std::atomic<bool> readsSawEveryText{true};
    std::vector<std::thread> threads;
    for (int writer = 1; writer <= writers; ++writer) {
        threads.emplace_back([writer, &writing] {
            KOVA_EditableText own(QString::number(writer));
            for (int round = 1; round <= rounds; ++round)
                own.setValue(QStringLiteral("round %1").arg(round));
            --writing;
        });
    }
    for (int reader = 0; reader < 3; ++reader) {
        threads.emplace_back([&writing, &readsSawEveryText] {
            while (writing.load() > 0) {
                const auto objects = KOVA_EditableText::editableTextObjects();
                const bool complete = objects.size() == 20
                    && std::all_of(objects.cbegin(), objects.cend(), [](const auto& each) {
                           return KOVA_EditableText::editableTextForKey(each->key()) && !each->value().isEmpty();
                       });
                if (!complete)
                    readsSawEveryText = false;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    defaults->removeObserver(saves.get(), key_KOVA_EditableText, nullptr);
    EXPECT_TRUE(readsSawEveryText);

    // No save carries an older text than the save before it, so the last one
    // holds the last text of every writer.
    const auto saved = saves->changes();
    ASSERT_EQ(saved.size(), writers * rounds);
    for (int writer = 1; writer <= writers; ++writer) {
        int latest = 0;
        for (const auto& change : saved) {
            const QVariantMap texts = change.newValue.toMap();
            const int round = texts.value(QString::number(writer)).toString().section(QLatin1Char(' '), 1).toInt();
            EXPECT_GE(round, latest) << "writer " << writer;
            latest = std::max(latest, round);
        }
        EXPECT_EQ(latest, rounds);
        EXPECT_EQ(textsOnDisk().value(QString::number(writer)).toString(), QStringLiteral("round %1").arg(rounds));
    }
}
