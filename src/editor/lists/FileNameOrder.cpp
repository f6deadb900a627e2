#include "editor/lists/FileNameOrder.h"

#include <QCollator>
#include <QFileInfo>

namespace {

// A collator is not shared between threads: each thread sorting keeps its own.
QCollator& numericCollator()
{
    thread_local QCollator collator = [] {
        // The C locale has no numeric collation: names sort as English does.
        QCollator made(QLocale(QLocale::English, QLocale::UnitedStates));
        made.setNumericMode(true);
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    return collator;
}

} // namespace

bool FileNameOrder::lessThan(const QString& left, const QString& right)
{
    return numericCollator().compare(left, right) < 0;
}

QString FileNameOrder::fileName(const QUrl& url)
{
    return QFileInfo(url.path()).fileName();
}

bool FileNameOrder::lessThanByFileName(const QUrl& left, const QUrl& right)
{
    return lessThan(fileName(left), fileName(right));
}

QString FileNameOrder::folded(const QString& text)
{
    QString folded;
    for (const QChar character : text.normalized(QString::NormalizationForm_D)) {
        if (character.category() != QChar::Mark_NonSpacing)
            folded.append(character);
    }
    return folded.toCaseFolded();
}

bool FileNameOrder::containsFolded(const QString& text, const QString& part)
{
    return folded(text).contains(folded(part));
}
