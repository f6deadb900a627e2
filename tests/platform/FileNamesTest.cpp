#include "platform/files/FileNames.h"

#include <gtest/gtest.h>

using platform::FileNames;

namespace {

QString repeated(const QString& text, int times)
{
    return text.repeated(times);
}

} // namespace

// Every name stays one component of the folder it is put in, at most 255 bytes long.
TEST(FileNames, NamesBecomeOneComponentThatFits)
{
    const QString longBase = repeated(QStringLiteral("a"), 300);
    const QString accents = repeated(QStringLiteral("\u00e9"), 200);       // two bytes each
    const QString emoji = repeated(QStringLiteral("\U0001F4F7"), 100);     // four bytes, a surrogate pair
    const struct {
        const char* name;
        QString input;
        QString expected;
    } cases[] = {
        {"plain", QStringLiteral("IMG_1.JPG"), QStringLiteral("IMG_1.JPG")},
        {"parent", QStringLiteral(".."), QStringLiteral("image")},
        {"current", QStringLiteral("."), QStringLiteral("image")},
        {"empty", QString(), QStringLiteral("image")},
        {"hidden", QStringLiteral(".jpeg"), QStringLiteral(".jpeg")},
        {"separators", QStringLiteral("x/../y"), QStringLiteral("x:..:y")},
        {"only separators", QStringLiteral("/"), QStringLiteral(":")},
        {"nul", QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b.jpg"), QStringLiteral("a:b.jpg")},
        {"long, extension kept", longBase + QStringLiteral(".JPG"), repeated(QStringLiteral("a"), 251) + QStringLiteral(".JPG")},
        {"long extension dropped", QStringLiteral("a.") + longBase, QStringLiteral("a.") + repeated(QStringLiteral("a"), 253)},
        {"two-byte characters", accents + QStringLiteral(".jpg"), repeated(QStringLiteral("\u00e9"), 125) + QStringLiteral(".jpg")},
        {"pairs never split", emoji, repeated(QStringLiteral("\U0001F4F7"), 63)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString component = FileNames::pathComponent(c.input);
        EXPECT_EQ(component, c.expected);
        EXPECT_LE(component.toUtf8().size(), FileNames::MaximumNameBytes);
        EXPECT_FALSE(component.contains(QLatin1Char('/')));
        EXPECT_EQ(QString::fromUtf8(component.toUtf8()), component); // no character cut in half
    }
}
