#pragma once

#include "platform/plist/Archivable.h"
#include "platform/xml/XmlNode.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <mutex>

namespace platform {
class KeyedUnarchiver;
}

// One place an output's picture goes: a file path or a printer, with its file-naming, upload
// and print settings. Every setting is kept as text in the value map, under its vocabulary key,
// and interpreted by its accessor; a missing setting reads as false, 0 or a null text.
// The kind and the value map are each read and replaced under a lock, so a destination may be
// shared by the outputs running on different queues.
class KOVA_Destination : public platform::Archivable {
public:
    static inline const QString ClassName = QStringLiteral("KOVA_Destination");

    // Every delivery step skips a destination whose kind is Unset.
    enum class Kind : unsigned { Unset = 0, Filepath = 1, Printer = 2 };

    KOVA_Destination() = default;
    // Reads a "destination" element. Never fails: what it does not know is logged and left out.
    explicit KOVA_Destination(const platform::XmlNode& node);
    static std::shared_ptr<KOVA_Destination> initWithFilepath(const QString& filepath);
    static std::shared_ptr<KOVA_Destination> initWithPrinterModel(const QString& model);

    Kind kind() const;
    void setKind(Kind kind);
    QVariantMap valuesDict() const;
    void setValuesDict(const QVariantMap& values);

    QString filepath() const;
    QString filename() const;
    bool saveOriginal() const;
    bool resize() const;
    qint64 limitSize() const;
    QString uploadSite() const;
    QString printToFileSetPathIndex() const;
    qint64 printer() const;
    qint64 mediaType() const;
    qint64 cutInHalf() const;
    qint64 copies() const;
    QString printerModel() const;
    QString printerQueue() const;
    QString printerPaperSize() const;
    // The stored gravity normalised as the template model does it: "resize", "resizeAspect",
    // or "resizeAspectFill" for anything else, none included.
    QString gravity() const;
    // Set by the package from the job, never read from the element.
    QString destinationLabel() const;

    // A "destination" element with the kind as its "type" attribute and one child per setting.
    // Settings whose key is no XML name (possible only in a foreign archive) are logged and
    // left out.
    platform::XmlNode asXMLElement() const;

    // For the log: the printer's queue, model, paper and copies, or the file path; empty for
    // a destination of no kind.
    QString description() const;

    QStringList archiveClassHierarchy() const override;
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // Reads the keys encodeWithCoder wrote; null (the archive stopped with an error) when the
    // value map holds anything but texts.
    static std::shared_ptr<platform::Archivable> initWithCoder(platform::KeyedUnarchiver& coder);

private:
    void readAttribute(const platform::XmlNode& attribute);
    void readChild(const platform::XmlNode& child, const platform::XmlNode& element);
    QString text(const QString& key) const;
    bool flag(const QString& key) const;
    qint64 integer(const QString& key) const;

    mutable std::mutex m_mutex; // guards the two fields below
    Kind m_kind = Kind::Unset;
    QVariantMap m_valuesDict;
};
