#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>

// What a run of text looks like: its font (sized in pixels: one canvas unit is
// one pixel), its colour and the alignment of the paragraph it begins.
struct TextAttributes {
    QFont font;
    QColor foregroundColor = Qt::black;
    Qt::Alignment alignment = Qt::AlignLeft;

    bool operator==(const TextAttributes&) const = default;
};

// Text with attributes over runs of it, as text layers and pasted text carry it.
class AttributedString {
public:
    struct Run {
        qsizetype start = 0;
        qsizetype length = 0;
        TextAttributes attributes;
    };

    AttributedString() = default;
    AttributedString(const QString& string, const TextAttributes& attributes);

    // Adds `text` with its own attributes at the end.
    void append(const QString& text, const TextAttributes& attributes);
    // Gives the whole text `attributes`, replacing those of every run.
    void setAttributes(const TextAttributes& attributes);

    const QString& string() const { return m_string; }
    const QList<Run>& runs() const { return m_runs; }
    // The attributes of the character at `index` (those of the last run past the
    // end; default attributes for an empty text).
    TextAttributes attributesAt(qsizetype index) const;

private:
    QString m_string;
    QList<Run> m_runs;
};
