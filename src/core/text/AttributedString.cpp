#include "core/text/AttributedString.h"

AttributedString::AttributedString(const QString& string, const TextAttributes& attributes)
{
    append(string, attributes);
}

void AttributedString::append(const QString& text, const TextAttributes& attributes)
{
    if (text.isEmpty())
        return;
    m_runs.append({m_string.size(), text.size(), attributes});
    m_string += text;
}

void AttributedString::setAttributes(const TextAttributes& attributes)
{
    m_runs.clear();
    if (!m_string.isEmpty())
        m_runs.append({0, m_string.size(), attributes});
}

TextAttributes AttributedString::attributesAt(qsizetype index) const
{
    for (const Run& run : m_runs) {
        if (index < run.start + run.length)
            return run.attributes;
    }
    return m_runs.isEmpty() ? TextAttributes{} : m_runs.last().attributes;
}
