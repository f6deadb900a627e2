#pragma once

#include "platform/observation/Observable.h"
#include "platform/plist/Archivable.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "workflow/folders/KOVA_FolderSetClass.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <memory>
#include <mutex>

// A named folder with a dictionary of options, one of the process-wide list of its
// class (classSide()), saved with that list as a keyed archive in the standard user
// defaults under "KOVA_savedFolderSets" (each subclass under its own key).
//
// Two sets are equal when their names are equal ignoring case and the other set is
// of this set's class or a subclass. A folder on another mount than "/" keeps a
// bookmark: on Linux a property list of its path and mount point, written for the
// record and never used to find the folder; bookmark data read from an archive made
// elsewhere is kept as it is.
//
// Every field is read and replaced under a lock, and options are handed out as
// copies, so a rendering queue may read a set the preferences are changing.
class KOVA_FolderSet : public platform::Observable,
                       public platform::Archivable,
                       public std::enable_shared_from_this<KOVA_FolderSet> {
public:
    static inline const QString ClassName = QStringLiteral("KOVA_FolderSet");
    static inline const QString NameKey = QStringLiteral("name");
    static inline const QString URLKey = QStringLiteral("URL");
    static inline const QString PropertiesKey = QStringLiteral("properties");
    // The keys of a bookmark made here.
    static inline const QString BookmarkPathKey = QStringLiteral("path");
    static inline const QString BookmarkMountPointKey = QStringLiteral("mountPoint");

    KOVA_FolderSet() = default;
    // Name and folder as given: no validation, no save.
    KOVA_FolderSet(const QString& name, const QUrl& url);
    // The home folder.
    explicit KOVA_FolderSet(const QString& name);

    // The list and class operations of this class; each subclass has its own.
    static KOVA_FolderSetClass& classSide();
    virtual KOVA_FolderSetClass& folderSetClass() const;

    QString name() const;
    // Stores the name made unique among the other sets of the class, then saves.
    void setName(const QString& name);

    // The folder; first checks a bookmark made here against it (a difference is logged).
    QUrl URL() const;
    // Stores the folder with a bookmark when it is on another mount than "/", then saves.
    virtual void setURL(const QUrl& url);

    QVariantMap properties() const;
    void setProperties(const QVariantMap& properties);
    QByteArray bookmark() const;
    void setBookmark(const QByteArray& bookmark);

    // A bookmark of URL(): its path and mount point; empty (logged) when no mount holds it.
    QByteArray bookmarkData() const;
    void resolveBookmark() const;

    // Made on first request; never archived, so it changes with every launch.
    QString uuid() const;
    void setUuid(const QString& uuid);

    bool isEqual(const KOVA_FolderSet* other) const;
    size_t hash() const;
    // A new set of the same class with copies of name, folder and options.
    std::shared_ptr<KOVA_FolderSet> copy() const;
    // "<Class: 0x...>{name='...';path='...'}".
    virtual QString description() const;

    QVariant valueForKey(const QString& key) const override;

    QStringList archiveClassHierarchy() const override;
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // The decoding initialiser of every folder-set class: a T holding the archived keys.
    template <class T>
    static std::shared_ptr<platform::Archivable> initWithCoder(platform::KeyedUnarchiver& coder);

protected:
    // One option; an invalid value when absent.
    QVariant propertyValue(const QString& key) const;
    // Stores one option (an invalid value removes it), announced under `key`, then saves.
    void setPropertyValue(const QString& key, const QVariant& value);

private:
    void decodeFields(platform::KeyedUnarchiver& coder);

    mutable std::mutex m_mutex; // guards every field below
    QUrl m_URL;
    QVariantMap m_properties;
    QString m_name;
    QByteArray m_bookmark;
    mutable QString m_uuid;
};

template <class T>
std::shared_ptr<platform::Archivable> KOVA_FolderSet::initWithCoder(platform::KeyedUnarchiver& coder)
{
    auto folderSet = std::make_shared<T>();
    folderSet->decodeFields(coder);
    return coder.hasError() ? nullptr : folderSet;
}
