#pragma once

#include <QByteArray>

class QTextDocument;

// Reads the rich text format that word processors put on the clipboard into a
// text document: the running text with its font families, point sizes, colours
// and paragraph alignments. Destinations that hold no running text (pictures,
// objects, field instructions, headers, style sheets, document information and
// every ignorable "\*" destination) are skipped, and so is every control word
// this reader does not know. Any bytes are safe: numbers are clamped, groups
// nested deeper than maxGroupDepth are skipped whole, and unbalanced braces are
// tolerated.
class RtfReader {
public:
    static constexpr int maxGroupDepth = 100;

    // Replaces the contents of `document` with the text of `rtf`.
    static void read(const QByteArray& rtf, QTextDocument& document);
};
