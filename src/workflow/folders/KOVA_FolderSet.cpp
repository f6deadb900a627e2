#include "workflow/folders/KOVA_FolderSet.h"

#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "platform/Log.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "platform/plist/PropertyList.h"

#include <QDir>
#include <QHash>
#include <QUuid>

namespace {

const QString PropertiesArchiveKey = QStringLiteral("self.properties");
const QString NameArchiveKey = QStringLiteral("self.name");
const QString URLArchiveKey = QStringLiteral("self.URL");
const QString BookmarkArchiveKey = QStringLiteral("self.bookmark");

QUrl homeFolderURL()
{
    return QUrl::fromLocalFile(QDir::homePath());
}

QString cleanPath(const QUrl& url)
{
    return QDir::cleanPath(url.toLocalFile());
}

// The path and mount point of the folder; empty (logged) when no mount holds it.
QByteArray bookmarkFor(const QUrl& url)
{
    const QUrl volume = ZORVAK_Extras_NSURL::volumeURL(url);
    if (volume.isEmpty()) {
        platform::Log::error(QStringLiteral("no bookmark for %1: no mounted file system holds it").arg(url.toString()));
        return {};
    }
    return platform::PropertyList::toData(QVariantMap{{KOVA_FolderSet::BookmarkPathKey, cleanPath(url)},
                                                      {KOVA_FolderSet::BookmarkMountPointKey, cleanPath(volume)}});
}

bool isOnLocalVolume(const QUrl& url)
{
    return ZORVAK_Extras_NSURL::volumeURL(url) == ZORVAK_Extras_NSURL::localVolumeURL();
}

[[maybe_unused]] const bool registeredForDecoding = [] {
    platform::KeyedUnarchiver::registerClass({KOVA_FolderSet::ClassName, QStringLiteral("NSObject")},
                                             &KOVA_FolderSet::initWithCoder<KOVA_FolderSet>);
    return true;
}();

} // namespace

KOVA_FolderSet::KOVA_FolderSet(const QString& name, const QUrl& url) : m_URL(url), m_name(name) {}

KOVA_FolderSet::KOVA_FolderSet(const QString& name) : KOVA_FolderSet(name, homeFolderURL()) {}

KOVA_FolderSetClass& KOVA_FolderSet::classSide()
{
    static KOVA_FolderSetClass& side = KOVA_FolderSetClass::makeProcessWide({
        .className = ClassName,
        .keyForSavedFolderSets = QStringLiteral("KOVA_savedFolderSets"),
        .makeFolderSet = [](const QString& name) { return std::make_shared<KOVA_FolderSet>(name); },
        .arrangeLoadedList = {},
    });
    return side;
}

KOVA_FolderSetClass& KOVA_FolderSet::folderSetClass() const
{
    return classSide();
}

QString KOVA_FolderSet::name() const
{
    const std::lock_guard lock(m_mutex);
    return m_name;
}

void KOVA_FolderSet::setName(const QString& name)
{
    const QString validated = folderSetClass().validateName(name, this);
    willChangeValueForKey(NameKey);
    {
        const std::lock_guard lock(m_mutex);
        m_name = validated;
    }
    didChangeValueForKey(NameKey);
    folderSetClass().saveFolderSets();
}

QUrl KOVA_FolderSet::URL() const
{
    resolveBookmark();
    const std::lock_guard lock(m_mutex);
    return m_URL;
}

void KOVA_FolderSet::setURL(const QUrl& url)
{
    const QByteArray bookmark = isOnLocalVolume(url) ? QByteArray() : bookmarkFor(url);
    willChangeValueForKey(URLKey);
    {
        const std::lock_guard lock(m_mutex);
        m_URL = url;
        m_bookmark = bookmark;
    }
    didChangeValueForKey(URLKey);
    folderSetClass().saveFolderSets();
}

QVariantMap KOVA_FolderSet::properties() const
{
    const std::lock_guard lock(m_mutex);
    return m_properties;
}

void KOVA_FolderSet::setProperties(const QVariantMap& properties)
{
    willChangeValueForKey(PropertiesKey);
    {
        const std::lock_guard lock(m_mutex);
        m_properties = properties;
    }
    didChangeValueForKey(PropertiesKey);
}

QByteArray KOVA_FolderSet::bookmark() const
{
    const std::lock_guard lock(m_mutex);
    return m_bookmark;
}

void KOVA_FolderSet::setBookmark(const QByteArray& bookmark)
{
    const std::lock_guard lock(m_mutex);
    m_bookmark = bookmark;
}

QByteArray KOVA_FolderSet::bookmarkData() const
{
    const std::lock_guard lock(m_mutex);
    return bookmarkFor(m_URL);
}

// Only a bookmark made here names a path; one made elsewhere means nothing on this
// system and is left alone.
void KOVA_FolderSet::resolveBookmark() const
{
    QByteArray bookmark;
    QUrl stored;
    {
        const std::lock_guard lock(m_mutex);
        bookmark = m_bookmark;
        stored = m_URL;
    }
    if (bookmark.isEmpty())
        return;
    const QVariant path = platform::PropertyList::fromData(bookmark).toMap().value(BookmarkPathKey);
    if (path.typeId() != QMetaType::QString)
        return;
    const QUrl resolved = QUrl::fromLocalFile(path.toString());
    if (cleanPath(resolved) != cleanPath(stored))
        platform::Log::log(QStringLiteral("resolved a different URL %1 than expected %2").arg(resolved.toString(), stored.toString()));
}

QString KOVA_FolderSet::uuid() const
{
    const std::lock_guard lock(m_mutex);
    if (m_uuid.isEmpty())
        m_uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return m_uuid;
}

void KOVA_FolderSet::setUuid(const QString& uuid)
{
    const std::lock_guard lock(m_mutex);
    m_uuid = uuid;
}

bool KOVA_FolderSet::isEqual(const KOVA_FolderSet* other) const
{
    if (other == this)
        return true;
    if (!other || !other->archiveClassHierarchy().contains(archiveClassName()))
        return false;
    return QString::compare(name(), other->name(), Qt::CaseInsensitive) == 0;
}

size_t KOVA_FolderSet::hash() const
{
    return qHash(name().toLower());
}

std::shared_ptr<KOVA_FolderSet> KOVA_FolderSet::copy() const
{
    std::shared_ptr<KOVA_FolderSet> copied = folderSetClass().makeFolderSet(QString());
    const std::lock_guard lock(m_mutex);
    copied->m_name = m_name;
    copied->m_URL = m_URL;
    copied->m_properties = m_properties;
    return copied;
}

QString KOVA_FolderSet::description() const
{
    const std::lock_guard lock(m_mutex);
    return QStringLiteral("<%1: 0x%2>{name='%3';path='%4'}")
        .arg(archiveClassName(), QString::number(quintptr(this), 16), m_name, m_URL.path());
}

QVariant KOVA_FolderSet::valueForKey(const QString& key) const
{
    if (key == NameKey)
        return name();
    if (key == URLKey)
        return URL();
    if (key == PropertiesKey)
        return properties();
    return Observable::valueForKey(key);
}

QStringList KOVA_FolderSet::archiveClassHierarchy() const
{
    return {ClassName, QStringLiteral("NSObject")};
}

void KOVA_FolderSet::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    const std::lock_guard lock(m_mutex);
    coder.encodeObject(m_properties, PropertiesArchiveKey, platform::KeyedArchiver::Mutability::Mutable);
    coder.encodeObject(m_name, NameArchiveKey);
    coder.encodeObject(m_URL, URLArchiveKey);
    if (!m_bookmark.isNull())
        coder.encodeObject(m_bookmark, BookmarkArchiveKey);
}

QVariant KOVA_FolderSet::propertyValue(const QString& key) const
{
    const std::lock_guard lock(m_mutex);
    return m_properties.value(key);
}

void KOVA_FolderSet::setPropertyValue(const QString& key, const QVariant& value)
{
    willChangeValueForKey(key);
    {
        const std::lock_guard lock(m_mutex);
        if (value.isValid())
            m_properties.insert(key, value);
        else
            m_properties.remove(key);
    }
    didChangeValueForKey(key);
    folderSetClass().saveFolderSets();
}

void KOVA_FolderSet::decodeFields(platform::KeyedUnarchiver& coder)
{
    const QVariant properties = coder.decodeObjectOfClasses(PropertiesArchiveKey, {QStringLiteral("NSDictionary")});
    const QVariant name = coder.decodeObjectOfClasses(NameArchiveKey, {QStringLiteral("NSString")});
    const QVariant url = coder.decodeObjectOfClasses(URLArchiveKey, {QStringLiteral("NSURL")});
    const QVariant bookmark = coder.decodeObjectOfClasses(BookmarkArchiveKey, {QStringLiteral("NSData")});
    m_properties = properties.toMap();
    m_name = name.toString();
    m_URL = url.toUrl();
    m_bookmark = bookmark.toByteArray();
}
