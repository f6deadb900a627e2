#include "core/foundation/ZORVAK_ByteCountTransformer.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <limits>

namespace {
struct TypedText {
    const char* text;
    qint64 bytes;
};

const TypedText typedTexts[] = {
    { "1.5 MB", 1572864 },
    { "2k", 2048 },
    { "3 gigabytes", 3221225472 },
    { "700", 700 },
    { "12 bytes", 12 },
    { "abc", 0 },
    { "0.5k", 512 },
    { "1.9", 1 },
    { "99999999999999999999g", std::numeric_limits<qint64>::max() },
    { "nan", 0 },
    { "1,5 MB", 1048576 }, // "," is no decimal mark: the number is 1
    { "size: 4 KB", 4096 },
    { "1.2.3 k", 1228 }, // the number ends at its second point
    { ".", 0 },
    { "", 0 },
    { "100000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
      "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
      "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000",
      std::numeric_limits<qint64>::max() },
};

class LocaleGuard {
public:
    explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};
} // namespace

TEST(ByteCountTransformer, ReadsTypedTextsAsByteCounts)
{
    for (const TypedText& typed : typedTexts) {
        EXPECT_EQ(ZORVAK_ByteCountTransformer::reverseTransformedValue(QString::fromUtf8(typed.text)).toLongLong(),
                  typed.bytes)
            << typed.text;
    }
}

TEST(ByteCountTransformer, AnythingButTextReadsAsZeroAndAnythingButANumberShowsNothing)
{
    EXPECT_EQ(ZORVAK_ByteCountTransformer::reverseTransformedValue(qint64(1234)), QVariant(qint64(0)));
    EXPECT_EQ(ZORVAK_ByteCountTransformer::reverseTransformedValue(QVariant()), QVariant(qint64(0)));
    EXPECT_FALSE(ZORVAK_ByteCountTransformer::transformedValue(QStringLiteral("12")).isValid());
    EXPECT_FALSE(ZORVAK_ByteCountTransformer::transformedValue(QVariant()).isValid());
}

TEST(ByteCountTransformer, ShownTextsReadBackUnchangedInAGermanLocale)
{
    const LocaleGuard german(QLocale(QLocale::German, QLocale::Germany));
    const std::pair<qint64, const char*> shown[] = {
        { 0, "0 bytes" },
        { 1, "1 byte" },
        { 700, "700 bytes" },
        { 2048, "2 KB" },
        { 1572864, "1.5 MB" },
        { 3221225472, "3 GB" },
        { 5LL << 40, "5120 GB" }, // past GB the unit stays GB, which reads back
    };
    for (const auto& [bytes, text] : shown) {
        const QVariant forward = ZORVAK_ByteCountTransformer::transformedValue(bytes);
        EXPECT_EQ(forward.toString(), QString::fromUtf8(text));
        EXPECT_EQ(ZORVAK_ByteCountTransformer::reverseTransformedValue(forward).toLongLong(), bytes) << text;
    }
}
