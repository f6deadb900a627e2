#include "core/text/RtfReader.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace {

QString textOf(const QByteArray& rtf)
{
    QTextDocument document;
    RtfReader::read(rtf, document);
    QString text = document.toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n')).replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

// The character format at `position` (of the character after it).
QTextCharFormat formatAt(QTextDocument& document, int position)
{
    QTextCursor cursor(&document);
    cursor.setPosition(position + 1);
    return cursor.charFormat();
}

TEST(RtfReaderTest, ReadsTextWithFontsSizesColoursAndAlignments)
{
    const QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0"
                           "{\\fonttbl{\\f0\\fswiss\\fcharset0 Helvetica;}{\\f1\\froman Times New Roman;}}\n"
                           "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\n"
                           "\\pard\\qc\\f1\\fs48\\cf1 Hello\\par\n"
                           "\\pard\\plain\\cf2 world {\\fs25 half}\\par\n"
                           "\\pard\\qr end}";
    QTextDocument document;
    RtfReader::read(rtf, document);
    ASSERT_EQ(document.toPlainText(), QStringLiteral("Hello\nworld half\nend"));

    const QTextCharFormat hello = formatAt(document, 0);
    EXPECT_EQ(hello.fontFamilies().toStringList(), QStringList{QStringLiteral("Times New Roman")});
    EXPECT_EQ(hello.fontPointSize(), 24);
    EXPECT_EQ(hello.foreground().color(), QColor(255, 0, 0));

    // \plain returns to the default font without size; the group's size ends with it.
    const QTextCharFormat world = formatAt(document, 6);
    EXPECT_EQ(world.fontFamilies().toStringList(), QStringList{QStringLiteral("Helvetica")});
    EXPECT_FALSE(world.hasProperty(QTextFormat::FontPointSize));
    EXPECT_EQ(world.foreground().color(), QColor(0, 0, 255));
    EXPECT_EQ(formatAt(document, 12).fontPointSize(), 12.5);
    EXPECT_FALSE(formatAt(document, 17).hasProperty(QTextFormat::FontPointSize));

    QTextBlock block = document.begin();
    EXPECT_EQ(block.blockFormat().alignment(), Qt::AlignHCenter);
    block = block.next();
    EXPECT_FALSE(block.blockFormat().hasProperty(QTextFormat::BlockAlignment)) << "\\pard gives the natural alignment";
    EXPECT_EQ(block.next().blockFormat().alignment(), Qt::AlignRight);

    // A document cut off before its groups close keeps the last paragraph's alignment.
    QTextDocument cut;
    RtfReader::read("{\\rtf1\\qj cut off", cut);
    EXPECT_EQ(cut.lastBlock().blockFormat().alignment(), Qt::AlignJustify);
}

TEST(RtfReaderTest, DecodesEscapesCodePagesAndUnicode)
{
    EXPECT_EQ(textOf("{\\rtf1\\ansi caf\\'e9 \\'80 \\\\ \\{x\\} a\\~b\\tab c\\line d}"),
              QStringLiteral("caf\u00E9 \u20AC \\ {x} a\u00A0b\tc\nd"));
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1251 \\'c0\\'e1}"), QStringLiteral("\u0410\u0431"));
    // Each \u character is followed by \uc fallback characters (one by default) that are skipped.
    EXPECT_EQ(textOf("{\\rtf1 \\u8364?\\uc2\\u233\\'65\\'27 x}"), QStringLiteral("\u20AC\u00E9 x"));
    // A character beyond the basic plane arrives as two negative surrogates.
    EXPECT_EQ(textOf("{\\rtf1 \\u-10179?\\u-8704?}"), QStringLiteral("\U0001F600"));
    // Line breaks in the source are not text; an escaped one ends a paragraph.
    EXPECT_EQ(textOf("{\\rtf1 one\r\ntwo\\\nthree}"), QStringLiteral("onetwo\nthree"));
}

TEST(RtfReaderTest, SkipsDestinationsWithoutRunningText)
{
    const QByteArray rtf = "{\\rtf1{\\*\\generator Writer 1.0;}{\\info{\\title Secret}{\\author A}}"
                           "{\\stylesheet{\\s0 Normal;}}"
                           "{\\*\\unknowndestination {\\fonttbl{\\f5 Wrong;}} hidden}"
                           "{\\pict\\pngblip 89504e47}"
                           "{\\field{\\*\\fldinst HYPERLINK \"https://example.com\"}{\\fldrslt link}}"
                           "\\unknownword42 text}";
    EXPECT_EQ(textOf(rtf), QStringLiteral("linktext"));
}

TEST(RtfReaderTest, ReadsAnyBytesWithoutFailing)
{
    // Groups beyond the deepest kept are skipped whole, with the braces still matched.
    const QByteArray deep = QByteArray(RtfReader::maxGroupDepth - 1, '{') + "kept" + QByteArray(5000, '{') + "lost" +
                            QByteArray(5000, '}') + " too" + QByteArray(RtfReader::maxGroupDepth - 1, '}');
    EXPECT_EQ(textOf("{\\rtf1 " + deep + "}"), QStringLiteral("kept too"));

    EXPECT_EQ(textOf("}}{\\rtf1 a}}}b"), QStringLiteral("ab"));
    EXPECT_EQ(textOf("{\\rtf1 \\fs99999999999999999999 \\cf-5 \\uc-3 \\u99999999999 x\\'4"), QStringLiteral("x\u0004"));
    EXPECT_EQ(textOf("{\\rtf1\\"), QString());
    EXPECT_EQ(textOf(QByteArray("\\", 1)), QString());

    const QByteArray alphabet("{}\\'u0-9abcfqrs;\x80\xff \n");
    QRandomGenerator random(20240305);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(random.bounded(1, 400), '\0');
        for (char& byte : bytes)
            byte = alphabet.at(random.bounded(int(alphabet.size())));
        textOf(bytes);
    }
}

} // namespace
