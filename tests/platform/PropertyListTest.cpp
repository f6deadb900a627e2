#include "platform/plist/PropertyList.h"

#include <QRandomGenerator>
#include <QPoint>
#include <QUrl>

#include <gtest/gtest.h>

#include <limits>

using platform::Error;
using platform::PlistUID;
using platform::PropertyList;

namespace {

QDateTime utc(int year, int month, int day, int hour, int minute, int second, int msec = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, msec), Qt::UTC);
}

QVariantMap everyKindOfValue()
{
    return {
        {QStringLiteral("text"), QStringLiteral("Größe <&> \"quoted\" 'single'\n\ttabbed ✓")},
        {QStringLiteral("empty text"), QStringLiteral("")},
        {QStringLiteral("zero"), qint64(0)},
        {QStringLiteral("negative"), qint64(-1)},
        {QStringLiteral("smallest"), std::numeric_limits<qint64>::min()},
        {QStringLiteral("largest signed"), std::numeric_limits<qint64>::max()},
        {QStringLiteral("largest unsigned"), std::numeric_limits<quint64>::max()},
        {QStringLiteral("just above signed"), quint64(std::numeric_limits<qint64>::max()) + 1},
        {QStringLiteral("tenth"), 0.1},
        {QStringLiteral("third"), 1.0 / 3.0},
        {QStringLiteral("tiny"), -2.5e-300},
        {QStringLiteral("huge"), 1e300},
        {QStringLiteral("yes"), true},
        {QStringLiteral("no"), false},
        {QStringLiteral("bytes"), QByteArray("\x00\x01\xfe\xff binary", 11)},
        {QStringLiteral("empty bytes"), QByteArray()},
        {QStringLiteral("date"), utc(2023, 5, 17, 14, 3, 9)},
        {QStringLiteral("before reference"), utc(1905, 12, 8, 18, 40, 0)},
        {QStringLiteral("after 32-bit seconds"), utc(2096, 1, 25, 5, 20, 0)},
        {QStringLiteral("uid"), QVariant::fromValue(PlistUID{42})},
        {QStringLiteral("list"), QVariantList{qint64(1), QStringLiteral("two"), QVariantList{}, QVariantMap{}}},
        {QStringLiteral("nested"), QVariantMap{{QStringLiteral("inner"), QVariantMap{{QStringLiteral("deep"), true}}}}},
    };
}

// `depth` arrays, each holding the next, the innermost holding true.
QByteArray nestedArraysXml(int depth)
{
    return "<plist>" + QByteArray("<array>").repeated(depth) + "<true/>" + QByteArray("</array>").repeated(depth) + "</plist>";
}

constexpr quint8 ArrayType = 0xA;
constexpr quint8 DictionaryType = 0xD;

// Builds binary property lists object by object, for input no writer would produce.
class BinaryPlistBuilder {
public:
    quint32 add(const QByteArray& object)
    {
        m_objects.append(object);
        return quint32(m_objects.size() - 1);
    }

    // An array, or a dictionary of keys followed by as many values.
    static QByteArray collection(quint8 type, const QList<quint32>& references)
    {
        QByteArray object = header(type, quint64(type == DictionaryType ? references.size() / 2 : references.size()));
        for (quint32 reference : references)
            object += bigEndian(reference, 4);
        return object;
    }

    static QByteArray header(quint8 type, quint64 count)
    {
        if (count < 15)
            return QByteArray(1, char((type << 4) | count));
        return QByteArray(1, char((type << 4) | 0xF)) + char(0x13) + bigEndian(count, 8);
    }

    QByteArray build(quint64 top = 0) const
    {
        QByteArray data("bplist00");
        QByteArray offsets;
        for (const QByteArray& object : m_objects) {
            offsets += bigEndian(quint64(data.size()), 4);
            data += object;
        }
        const quint64 tableOffset = quint64(data.size());
        data += offsets;
        data += QByteArray(6, '\0') + char(4) + char(4);
        data += bigEndian(quint64(m_objects.size()), 8) + bigEndian(top, 8) + bigEndian(tableOffset, 8);
        return data;
    }

    static QByteArray bigEndian(quint64 value, int size)
    {
        QByteArray bytes;
        for (int i = size - 1; i >= 0; --i)
            bytes += char((value >> (8 * i)) & 0xFF);
        return bytes;
    }

private:
    QList<QByteArray> m_objects;
};

const QByteArray TrueObject(1, char(0x09));

QByteArray nestedArraysBinary(int depth)
{
    BinaryPlistBuilder builder;
    for (int i = 0; i < depth; ++i)
        builder.add(BinaryPlistBuilder::collection(ArrayType, {quint32(i + 1)}));
    builder.add(TrueObject);
    return builder.build();
}

// Expects the data refused; `reason`, when given, is part of the message.
void expectReadError(const QByteArray& data, const char* what, const char* reason = "")
{
    Error error;
    EXPECT_FALSE(PropertyList::fromData(data, &error).isValid()) << what;
    EXPECT_EQ(error.domain, Error::CocoaDomain) << what;
    EXPECT_EQ(error.code, 3840) << what;
    EXPECT_TRUE(error.message.contains(QLatin1String(reason))) << what << ": " << error.message.toStdString();
}

} // namespace

TEST(PropertyList, RoundTripsEveryKindOfValueInBothFormats)
{
    const QVariantMap values = everyKindOfValue();
    for (const auto format : {PropertyList::Format::Binary, PropertyList::Format::XML}) {
        Error error;
        const QByteArray data = PropertyList::toData(values, format, &error);
        ASSERT_FALSE(data.isEmpty()) << error.message.toStdString();
        EXPECT_EQ(data.startsWith("bplist00"), format == PropertyList::Format::Binary);
        const QVariantMap read = PropertyList::fromData(data, &error).toMap();
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            EXPECT_EQ(read.value(it.key()), it.value()) << it.key().toStdString();
            EXPECT_EQ(read.value(it.key()).typeId(), it.value().typeId()) << it.key().toStdString();
        }
        EXPECT_EQ(read.size(), values.size());
    }
}

// Offsets take as many bytes as the list's size needs: one, two, three (64 KiB to 16 MiB)
// or four.
TEST(PropertyList, BinaryListsOfEverySizeReadBack)
{
    for (const qsizetype size : {qsizetype(100), qsizetype(1000), qsizetype(100 * 1024), qsizetype(17 * 1024 * 1024)}) {
        const QVariantMap written{{QStringLiteral("data"), QByteArray(size, 'x')}, {QStringLiteral("text"), QStringLiteral("kept")}};
        Error error;
        EXPECT_EQ(PropertyList::fromData(PropertyList::toData(written, PropertyList::Format::Binary), &error).toMap(), written)
            << size << " bytes: " << error.message.toStdString();
    }
}

TEST(PropertyList, ConvertsOtherNumberTypesAndStringLists)
{
    const QVariantList written{int(-7), uint(7), short(3), float(0.5f), QStringList{QStringLiteral("a"), QStringLiteral("b")}};
    const QVariantList read = PropertyList::fromData(PropertyList::toData(written)).toList();
    const QVariantList expected{qint64(-7), qint64(7), qint64(3), 0.5, QVariantList{QStringLiteral("a"), QStringLiteral("b")}};
    EXPECT_EQ(read, expected);
}

TEST(PropertyList, BinaryKeepsMillisecondsAndXmlTheSecondADateIsIn)
{
    const QDateTime afterReference = utc(2024, 2, 29, 23, 59, 59, 987);
    const QDateTime beforeReference = utc(2000, 12, 31, 23, 59, 58, 250);
    const QVariantList dates{afterReference, beforeReference, utc(2001, 1, 1, 0, 0, 0, 1)};
    EXPECT_EQ(PropertyList::fromData(PropertyList::toData(dates)).toList(), dates);

    const QVariantList fromXml = PropertyList::fromData(PropertyList::toData(dates, PropertyList::Format::XML)).toList();
    EXPECT_EQ(fromXml, (QVariantList{utc(2024, 2, 29, 23, 59, 59), utc(2000, 12, 31, 23, 59, 58), utc(2001, 1, 1, 0, 0, 0)}));
}

TEST(PropertyList, ReadsXmlWrittenElsewhere)
{
    const QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>searchfolder</key>
	<string>/Volumes/Lab/Orders &amp; Returns</string>
	<key>count</key>
	<integer>-12</integer>
	<key>scale</key>
	<real>2.5</real>
	<key>enabled</key>
	<true/>
	<key>thumbnail</key>
	<data>
	AAEC
	/w==
	</data>
	<key>modified</key>
	<date>2019-03-04T05:06:07Z</date>
	<key>reference</key>
	<dict><key>CF$UID</key><integer>7</integer></dict>
	<key>not a reference</key>
	<dict><key>CF$UID</key><integer>-1</integer></dict>
</dict>
</plist>
)";
    const QVariantMap read = PropertyList::fromData(xml).toMap();
    EXPECT_EQ(read.value(QStringLiteral("searchfolder")), QStringLiteral("/Volumes/Lab/Orders & Returns"));
    EXPECT_EQ(read.value(QStringLiteral("count")), qint64(-12));
    EXPECT_EQ(read.value(QStringLiteral("scale")), 2.5);
    EXPECT_EQ(read.value(QStringLiteral("enabled")), true);
    EXPECT_EQ(read.value(QStringLiteral("thumbnail")), QByteArray("\x00\x01\x02\xff", 4));
    EXPECT_EQ(read.value(QStringLiteral("modified")), utc(2019, 3, 4, 5, 6, 7));
    EXPECT_EQ(read.value(QStringLiteral("reference")), QVariant::fromValue(PlistUID{7}));
    EXPECT_EQ(read.value(QStringLiteral("not a reference")).typeId(), QMetaType::QVariantMap);
}

TEST(PropertyList, RefusesValuesItCannotCarry)
{
    const QVariantList refused{
        QVariant(),
        QPoint(1, 2),
        QUrl(QStringLiteral("file:///tmp")),
        QVariantList{qint64(1), QPoint(1, 2)},
        QVariantMap{{QStringLiteral("key"), QVariant()}},
        QString(QStringLiteral("before") + QChar::Null + QStringLiteral("after")),
        QVariantMap{{QString(QChar::Null), true}},
        QDateTime(),
        utc(9999, 12, 31, 23, 59, 59).addSecs(1),
    };
    for (const QVariant& value : refused) {
        for (const auto format : {PropertyList::Format::Binary, PropertyList::Format::XML}) {
            Error error;
            EXPECT_TRUE(PropertyList::toData(value, format, &error).isEmpty()) << value.typeName();
            EXPECT_EQ(error.code, 3852) << value.typeName();
            EXPECT_FALSE(error.message.isEmpty());
        }
    }
}

TEST(PropertyList, BoundsNestingDepth)
{
    QVariant atLimit = true;
    for (int i = 0; i < PropertyList::MaximumDepth; ++i)
        atLimit = QVariantList{atLimit};
    const QVariant beyondLimit = QVariantList{atLimit};
    for (const auto format : {PropertyList::Format::Binary, PropertyList::Format::XML}) {
        EXPECT_EQ(PropertyList::fromData(PropertyList::toData(atLimit, format)), atLimit);
        EXPECT_TRUE(PropertyList::toData(beyondLimit, format).isEmpty());
    }
    EXPECT_TRUE(PropertyList::fromData(nestedArraysXml(PropertyList::MaximumDepth)).isValid());
    expectReadError(nestedArraysXml(PropertyList::MaximumDepth + 1), "XML one level too deep", "deeply");
    expectReadError(nestedArraysXml(100000), "XML deep enough to overflow a recursive parser", "deeply");
    EXPECT_TRUE(PropertyList::fromData(nestedArraysBinary(PropertyList::MaximumDepth)).isValid());
    expectReadError(nestedArraysBinary(PropertyList::MaximumDepth + 1), "binary one level too deep", "deeply");
    expectReadError(nestedArraysBinary(100000), "binary deep enough to overflow a recursive parser", "deeply");
}

TEST(PropertyList, RefusesHostileBinaryStructure)
{
    // Forty arrays, each referring twice to the next: 2^40 values once expanded.
    BinaryPlistBuilder doubling;
    for (quint32 i = 0; i < 40; ++i)
        doubling.add(BinaryPlistBuilder::collection(ArrayType, {i + 1, i + 1}));
    doubling.add(TrueObject);
    expectReadError(doubling.build(), "shared references expanding beyond the size limit", "size limit");

    BinaryPlistBuilder cycle;
    cycle.add(BinaryPlistBuilder::collection(ArrayType, {1}));
    cycle.add(BinaryPlistBuilder::collection(ArrayType, {0}));
    expectReadError(cycle.build(), "arrays holding each other", "refers to itself");

    BinaryPlistBuilder hugeCount;
    hugeCount.add(BinaryPlistBuilder::header(ArrayType, quint64(1) << 60) + BinaryPlistBuilder::bigEndian(1, 4));
    hugeCount.add(TrueObject);
    expectReadError(hugeCount.build(), "array declaring 2^60 elements");

    BinaryPlistBuilder hugeText;
    hugeText.add(BinaryPlistBuilder::header(0x6, quint64(1) << 62) + "ab");
    expectReadError(hugeText.build(), "string declaring 2^62 characters");

    BinaryPlistBuilder badReference;
    badReference.add(BinaryPlistBuilder::collection(ArrayType, {9}));
    expectReadError(badReference.build(), "reference past the last object");

    BinaryPlistBuilder numberKey;
    numberKey.add(BinaryPlistBuilder::collection(DictionaryType, {1, 1}));
    numberKey.add(QByteArray("\x10\x05", 2));
    expectReadError(numberKey.build(), "dictionary keyed by a number", "key");

    BinaryPlistBuilder nulKey;
    nulKey.add(BinaryPlistBuilder::collection(DictionaryType, {1, 2}));
    nulKey.add(QByteArray("\x53" "a\0b", 4));
    nulKey.add(TrueObject);
    expectReadError(nulKey.build(), "dictionary key holding NUL", "key");

    BinaryPlistBuilder badTop;
    badTop.add(TrueObject);
    expectReadError(badTop.build(5), "top object past the last object");

    expectReadError(BinaryPlistBuilder().build(), "no objects at all");
}

TEST(PropertyList, SurvivesTruncatedCorruptedAndRandomInput)
{
    const QByteArray binary = PropertyList::toData(everyKindOfValue());
    const QByteArray xml = PropertyList::toData(everyKindOfValue(), PropertyList::Format::XML);
    for (const QByteArray& valid : {binary, xml}) {
        for (qsizetype length = 0; length < valid.size(); ++length)
            PropertyList::fromData(valid.left(length));
    }
    QRandomGenerator random(20240517);
    for (int round = 0; round < 3000; ++round) {
        QByteArray corrupted = round % 2 ? binary : xml;
        for (int flips = random.bounded(1, 8); flips > 0; --flips)
            corrupted[random.bounded(int(corrupted.size()))] = char(random.bounded(256));
        PropertyList::fromData(corrupted);

        QByteArray noise(random.bounded(1, 200), '\0');
        for (char& byte : noise)
            byte = char(random.bounded(256));
        PropertyList::fromData(noise);
        PropertyList::fromData("bplist00" + noise);
    }
    expectReadError(QByteArray(), "empty data");
    expectReadError("not a property list", "plain text");
}
