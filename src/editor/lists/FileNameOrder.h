#pragma once

#include <QString>
#include <QUrl>

// How the editor's sidebar orders and filters file names: numbers compare by value
// and letters without regard to case ("A2" before "a10"); the filter ignores case and
// diacritics ("Cafe" finds "café").
class FileNameOrder {
public:
    static bool lessThan(const QString& left, const QString& right);
    // The last path component of the URL's path; empty for none.
    static QString fileName(const QUrl& url);
    static bool lessThanByFileName(const QUrl& left, const QUrl& right);
    // The text in lower case with its combining marks removed.
    static QString folded(const QString& text);
    static bool containsFolded(const QString& text, const QString& part);
};
