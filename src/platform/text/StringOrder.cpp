#include "platform/text/StringOrder.h"

namespace platform {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

qsizetype digitRunEnd(const QString& text, qsizetype start)
{
    while (start < text.size() && isDigit(text.at(start)))
        ++start;
    return start;
}

qsizetype skipZeros(const QString& text, qsizetype start, qsizetype end)
{
    while (start < end - 1 && text.at(start) == QLatin1Char('0'))
        ++start;
    return start;
}

int sign(qsizetype value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

} // namespace

int StringOrder::compare(const QString& a, const QString& b)
{
    if (const int natural = compareNatural(a, b))
        return natural;
    if (const int folded = a.compare(b, Qt::CaseInsensitive))
        return sign(folded);
    return sign(a.compare(b, Qt::CaseSensitive));
}

int StringOrder::compareNatural(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a.at(i)) && isDigit(b.at(j))) {
            if (const int order = compareDigitRuns(a, i, b, j))
                return order;
            continue;
        }
        const QChar left = a.at(i).toCaseFolded();
        const QChar right = b.at(j).toCaseFolded();
        if (left != right)
            return left < right ? -1 : 1;
        ++i;
        ++j;
    }
    return sign((a.size() - i) - (b.size() - j));
}

// Compares the digit runs starting at i and j by their values (any length: a longer
// run without leading zeros is the larger number) and moves both past their runs.
int StringOrder::compareDigitRuns(const QString& a, qsizetype& i, const QString& b, qsizetype& j)
{
    const qsizetype endA = digitRunEnd(a, i);
    const qsizetype endB = digitRunEnd(b, j);
    const qsizetype startA = skipZeros(a, i, endA);
    const qsizetype startB = skipZeros(b, j, endB);
    i = endA;
    j = endB;
    if (const int byLength = sign((endA - startA) - (endB - startB)))
        return byLength;
    return sign(QStringView(a).sliced(startA, endA - startA).compare(QStringView(b).sliced(startB, endB - startB)));
}

} // namespace platform
