#include "core/text/RtfReader.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QSet>
#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <optional>

namespace {

// Numbers of control words are 16- or 32-bit in practice; larger ones are clamped.
constexpr qint64 largestParameter = 1 << 30;
constexpr int longestControlWord = 32;
// Font sizes are given in half points; word processors go up to 1638 points.
constexpr int largestHalfPoints = 3276;
constexpr int mostParameterDigits = 10;
// "\ucN": how many fallback characters follow a "\u" character.
constexpr int mostFallbackCharacters = 8;

// Where the characters of a group go.
enum class Destination { text, fontTable, colorTable, skipped };

// What a group inherits from its parent and gets back when it ends.
struct GroupState {
    Destination destination = Destination::text;
    int font = -1; // an index into the font table; -1 for the default font
    int halfPoints = 0; // 0 when no size was given
    int color = 0; // an index into the colour table; 0 is the automatic colour
    std::optional<Qt::Alignment> alignment; // none for the natural alignment
    int fallbackCharacters = 1;
};

// Destinations that hold no running text.
const QSet<QByteArray>& skippedDestinations()
{
    static const QSet<QByteArray> words{"info", "stylesheet", "pict", "object", "fldinst", "header", "headerl", "headerr",
                                        "headerf", "footer", "footerl", "footerr", "footerf", "footnote", "listtable",
                                        "listoverridetable", "rsidtbl", "filetbl", "revtbl", "themedata",
                                        "colorschememapping", "latentstyles", "datastore", "xmlnstbl", "generator"};
    return words;
}

class Parser {
public:
    Parser(const QByteArray& rtf, QTextDocument& document)
        : m_rtf(rtf)
        , m_cursor(&document)
    {
    }

    void parse()
    {
        while (m_at < m_rtf.size()) {
            const char byte = m_rtf.at(m_at++);
            if (byte == '{')
                openGroup();
            else if (byte == '}')
                closeGroup();
            else if (m_overflowDepth > 0)
                continue;
            else if (byte == '\\')
                control();
            else if (byte != '\r' && byte != '\n')
                character(byte);
        }
        flush();
        if (!m_groups.isEmpty()) // cut off before its groups closed
            m_cursor.setBlockFormat(blockFormat());
    }

private:
    void openGroup()
    {
        flush();
        m_pendingFallback = 0;
        if (m_overflowDepth > 0 || m_groups.size() >= RtfReader::maxGroupDepth) {
            ++m_overflowDepth;
            return;
        }
        m_groups.append(m_state);
    }

    void closeGroup()
    {
        flush();
        m_pendingFallback = 0;
        if (m_overflowDepth > 0) {
            --m_overflowDepth;
            return;
        }
        if (m_state.destination == Destination::fontTable)
            finishFont();
        // The last paragraph ends with the group that holds it, not with a \par.
        if (m_state.destination == Destination::text)
            m_cursor.setBlockFormat(blockFormat());
        if (!m_groups.isEmpty())
            m_state = m_groups.takeLast();
    }

    // A backslash has been read: a control symbol or a control word.
    void control()
    {
        if (m_at >= m_rtf.size())
            return;
        const char symbol = m_rtf.at(m_at);
        if (isLetter(symbol)) {
            controlWord();
            return;
        }
        ++m_at;
        switch (symbol) {
        case '\\':
        case '{':
        case '}':
            character(symbol);
            break;
        case '\'':
            hexCharacter();
            break;
        case '~':
            unicodeCharacter(0x00A0);
            break;
        case '_':
            unicodeCharacter(0x2011);
            break;
        case '*':
            m_state.destination = Destination::skipped;
            break;
        case '\r':
        case '\n':
            paragraph();
            break;
        default:
            break;
        }
    }

    void controlWord()
    {
        const qsizetype start = m_at;
        while (m_at < m_rtf.size() && m_at - start < longestControlWord && isLetter(m_rtf.at(m_at)))
            ++m_at;
        const QByteArray word = m_rtf.mid(start, m_at - start);
        const std::optional<int> parameter = readParameter();
        if (m_at < m_rtf.size() && m_rtf.at(m_at) == ' ')
            ++m_at;
        if (word == "u" && parameter) {
            unicodeCharacter(*parameter < 0 ? *parameter + 0x10000 : *parameter);
            m_pendingFallback = m_state.fallbackCharacters;
            return;
        }
        if (m_pendingFallback > 0) {
            --m_pendingFallback;
            return;
        }
        if (m_state.destination == Destination::skipped)
            return;
        flush();
        apply(word, parameter.value_or(0), parameter.has_value());
    }

    void apply(const QByteArray& word, int parameter, bool hasParameter)
    {
        if (skippedDestinations().contains(word))
            m_state.destination = Destination::skipped;
        else if (word == "fonttbl")
            m_state.destination = Destination::fontTable;
        else if (word == "colortbl")
            m_state.destination = Destination::colorTable;
        else if (m_state.destination == Destination::colorTable)
            colorComponent(word, parameter);
        else if (word == "f" && m_state.destination == Destination::fontTable)
            m_tableFont = parameter;
        else if (word == "f")
            m_state.font = parameter;
        else if (word == "deff")
            m_defaultFont = parameter;
        else if (word == "fs")
            m_state.halfPoints = std::clamp(parameter, 0, largestHalfPoints);
        else if (word == "cf")
            m_state.color = parameter;
        else if (word == "plain")
            resetCharacterFormat();
        else
            paragraphWord(word, parameter, hasParameter);
    }

    void paragraphWord(const QByteArray& word, int parameter, bool hasParameter)
    {
        if (word == "par" || word == "sect")
            paragraph();
        else if (word == "line")
            unicodeCharacter(QChar::LineSeparator);
        else if (word == "tab")
            unicodeCharacter('\t');
        else if (word == "pard")
            m_state.alignment.reset();
        else if (word == "ql")
            m_state.alignment = Qt::AlignLeft;
        else if (word == "qr")
            m_state.alignment = Qt::AlignRight;
        else if (word == "qc")
            m_state.alignment = Qt::AlignHCenter;
        else if (word == "qj")
            m_state.alignment = Qt::AlignJustify;
        else if (word == "uc")
            m_state.fallbackCharacters = std::clamp(parameter, 0, mostFallbackCharacters);
        else if (word == "ansicpg" && hasParameter)
            useCodePage(parameter);
    }

    std::optional<int> readParameter()
    {
        const bool negative = m_at < m_rtf.size() && m_rtf.at(m_at) == '-';
        const qsizetype digitsStart = negative ? m_at + 1 : m_at;
        qsizetype at = digitsStart;
        qint64 value = 0;
        while (at < m_rtf.size() && isDigit(m_rtf.at(at))) {
            if (at - digitsStart < mostParameterDigits)
                value = std::min(value * 10 + (m_rtf.at(at) - '0'), largestParameter);
            ++at;
        }
        if (at == digitsStart)
            return std::nullopt;
        m_at = at;
        return static_cast<int>(negative ? -value : value);
    }

    void hexCharacter()
    {
        const qsizetype available = std::min<qsizetype>(2, m_rtf.size() - m_at);
        bool ok = false;
        const int value = m_rtf.mid(m_at, available).toInt(&ok, 16);
        m_at += available;
        if (ok)
            character(static_cast<char>(value));
    }

    // A byte of text in the document's code page.
    void character(char byte)
    {
        if (m_pendingFallback > 0) {
            --m_pendingFallback;
            return;
        }
        if (m_state.destination == Destination::fontTable && byte == ';') {
            finishFont();
            return;
        }
        if (m_state.destination == Destination::colorTable && byte == ';') {
            finishColor();
            return;
        }
        if (m_state.destination == Destination::text || m_state.destination == Destination::fontTable)
            m_bytes += byte;
    }

    void unicodeCharacter(char32_t code)
    {
        if (m_state.destination != Destination::text && m_state.destination != Destination::fontTable)
            return;
        decodeBytes();
        // Characters beyond the basic plane arrive as two "\u" surrogates, which
        // join in the UTF-16 text.
        if (code <= 0xFFFF)
            m_text += QChar(static_cast<char16_t>(code));
        else if (code <= 0x10FFFF)
            m_text += QString::fromUcs4(&code, 1);
    }

    void decodeBytes()
    {
        if (m_bytes.isEmpty())
            return;
        m_text += m_decoder.isValid() ? m_decoder.decode(m_bytes) : QString::fromLatin1(m_bytes);
        m_bytes.clear();
    }

    // Writes the text read so far with the current format.
    void flush()
    {
        if (m_state.destination != Destination::text)
            return;
        decodeBytes();
        if (!m_text.isEmpty())
            m_cursor.insertText(m_text, characterFormat());
        m_text.clear();
    }

    void paragraph()
    {
        if (m_state.destination != Destination::text)
            return;
        flush();
        m_cursor.setBlockFormat(blockFormat());
        m_cursor.insertBlock();
    }

    void resetCharacterFormat()
    {
        m_state.font = -1;
        m_state.halfPoints = 0;
        m_state.color = 0;
    }

    void useCodePage(int codePage)
    {
        QStringDecoder decoder(QStringLiteral("windows-%1").arg(codePage).toLatin1().constData());
        if (decoder.isValid())
            m_decoder = std::move(decoder);
    }

    void finishFont()
    {
        decodeBytes();
        if (m_tableFont >= 0 && !m_text.trimmed().isEmpty())
            m_fonts.insert(m_tableFont, m_text.trimmed());
        m_text.clear();
        m_tableFont = -1;
    }

    void colorComponent(const QByteArray& word, int parameter)
    {
        const int value = std::clamp(parameter, 0, 255);
        if (word == "red")
            m_color.setRed(value);
        else if (word == "green")
            m_color.setGreen(value);
        else if (word == "blue")
            m_color.setBlue(value);
        else
            return;
        m_colorGiven = true;
    }

    // Ends a colour table entry; an entry without components is the automatic colour.
    void finishColor()
    {
        m_colors.append(m_colorGiven ? m_color : QColor());
        m_color = QColor(0, 0, 0);
        m_colorGiven = false;
    }

    QTextCharFormat characterFormat() const
    {
        QTextCharFormat format;
        const QString family = m_fonts.value(m_state.font >= 0 ? m_state.font : m_defaultFont);
        if (!family.isEmpty())
            format.setFontFamilies(QStringList{family});
        if (m_state.halfPoints > 0)
            format.setFontPointSize(m_state.halfPoints / 2.0);
        const QColor color = m_state.color > 0 ? m_colors.value(m_state.color) : QColor();
        if (color.isValid())
            format.setForeground(color);
        return format;
    }

    QTextBlockFormat blockFormat() const
    {
        QTextBlockFormat format;
        if (m_state.alignment)
            format.setAlignment(*m_state.alignment);
        return format;
    }

    static bool isLetter(char byte) { return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z'); }
    static bool isDigit(char byte) { return byte >= '0' && byte <= '9'; }

    const QByteArray& m_rtf;
    qsizetype m_at = 0;
    QTextCursor m_cursor;
    GroupState m_state;
    QList<GroupState> m_groups;
    int m_overflowDepth = 0; // groups opened beyond the deepest kept, skipped whole
    int m_pendingFallback = 0; // fallback characters of a "\u" character still to skip
    QStringDecoder m_decoder{"windows-1252"};
    QByteArray m_bytes; // text bytes not yet decoded
    QString m_text; // text not yet written (or the font name being read)
    QHash<int, QString> m_fonts;
    int m_tableFont = -1;
    int m_defaultFont = -1;
    QList<QColor> m_colors;
    QColor m_color{0, 0, 0};
    bool m_colorGiven = false;
};

} // namespace

void RtfReader::read(const QByteArray& rtf, QTextDocument& document)
{
    document.clear();
    Parser(rtf, document).parse();
}
