#pragma once

#include "template/KOVA_Template.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One template file of the templates folder as the listing read it: the object and the
// file's generation just before the reading, so that a later listing can tell whether
// another program changed the file since.
struct TemplateEntry {
    KOVA_Template::Pointer templateObject;
    QByteArray generation;

    QString path() const { return templateObject ? templateObject->documentURL().toLocalFile() : QString(); }
};

// Reads every XML template file lying directly in a folder, sorted by file name (numbers
// by value, letters in any case). Other items are logged and left out; a file that gives
// no object is left out, one that gives no template is listed as the reader's bare
// document (which the editor refuses to open, saying why).
class TemplateFolderScan {
public:
    static QList<TemplateEntry> scan(const QString& folder);
    // The file read again as it is now, or an entry without object when it no longer reads.
    static TemplateEntry read(const QString& path);
    // Whether the item is a regular file of the XML type (links are not followed).
    static bool isXmlFile(const QString& path, bool exactType);
    // The items lying directly in the folder, logging an unreadable folder.
    static QStringList itemPaths(const QString& folder);
};
