#pragma once

#include "template/KOVA_Template.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>
#include <utility>

namespace platform {
class XmlNode;
}

// Writes templates in the current file form, keeps a backup of files of the older form,
// and makes the short reference element by which job and package files name a template.
//
// A saved file reads back to the same value maps: besides the children each layer type
// writes, a layer's shadow, border, background and font element is also written when
// only its attributes are present (a colour without its flag, a size without a font),
// with no text, so the reader sets no flag or font from it; the path read from
// "filename" and a stamp's number are written back; frames are written unscaled; the
// layout's own values (the page's background among them) are written as its children.
class KOVA_TemplateWriter {
public:
    // Writes `templ` to `url`, else to its own file, when it has unsaved changes, and
    // answers through `reply` (called before returning) the URL written (its own file
    // when nothing needed writing) or the error; without a reply a failure is logged.
    static void save(KOVA_Template& templ, const QUrl& url, const KOVA_Template::SaveReply& reply);
    // Save As: to a file other than its own the template is written whether or not it
    // changed, and that file becomes the template's file.
    static void saveAs(KOVA_Template& templ, const QUrl& url, const KOVA_Template::SaveReply& reply);

    // The whole file of `templ`: declaration, "data" root, "layout", one "layer" per layer.
    static QByteArray documentData(const KOVA_Template& templ);

    // The value keys written as child elements of a layer of the type code.
    static QStringList availableChildren(unsigned layerType);
    // The value keys written as attributes of the child `childKey`; empty for none.
    static QStringList attributesForChild(const QString& childKey);
    static QString translatedChildName(const QString& key);
    static QString translatedAttributeName(const QString& key);
    static QString translatedAttributeValue(const QString& value);

    // The "template" element naming `templ` by its name and its file.
    static QString xmlElementName();
    static QList<std::pair<QString, QString>> xmlElementAttributes(const KOVA_Template& templ);
    static QList<platform::XmlNode> xmlElementChildren(const KOVA_Template& templ);
    static platform::XmlNode asXMLElement(const KOVA_Template& templ);

private:
    enum class WriteMode {
        IfChanged,
        AsTemplateFile, // written in any case; the target becomes the template's file
    };

    static void save(KOVA_Template& templ, const QUrl& url, const KOVA_Template::SaveReply& reply, WriteMode mode);
    static std::optional<platform::Error> unreadFileRefusal(KOVA_Template& templ, const QUrl& target);
    static std::optional<platform::Error> write(const KOVA_Template& templ, const QUrl& target);
    static void keepOlderFormatBackup(const KOVA_Template& templ, const QUrl& target);
    static platform::XmlNode layoutElement(const KOVA_Template& templ);
    static QList<std::pair<QString, QString>> layoutChildValues(const KOVA_Template& templ);
    static platform::XmlNode layerElement(const KOVA_Template& layer);
    static platform::XmlNode childElement(const KOVA_Template& layer, const QString& childKey);
};
