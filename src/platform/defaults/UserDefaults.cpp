#include "platform/defaults/UserDefaults.h"

#include "platform/Log.h"
#include "platform/defaults/JavaPreferences.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StandardPaths.h"
#include "platform/plist/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <sys/stat.h>

namespace platform {
namespace {

constexpr qint64 maximumStoreSize = 64 * 1024 * 1024;

std::mutex registryMutex;
QString configuredStandardDomain;

QString expandTilde(const QString& path)
{
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        return StandardPaths::path(StandardPaths::Folder::Home) + path.mid(1);
    return path;
}

QString abbreviateHome(const QString& path)
{
    const QString home = StandardPaths::path(StandardPaths::Folder::Home);
    if (!home.isEmpty() && (path == home || path.startsWith(home + QLatin1Char('/'))))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

} // namespace

std::shared_ptr<UserDefaults> UserDefaults::standardUserDefaults()
{
    return initWithSuiteName(standardDomain());
}

void UserDefaults::setStandardDomain(const QString& domain)
{
    std::lock_guard lock(registryMutex);
    configuredStandardDomain = domain;
}

QString UserDefaults::standardDomain()
{
    std::lock_guard lock(registryMutex);
    if (!configuredStandardDomain.isEmpty())
        return configuredStandardDomain;
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("kova") : name;
}

std::shared_ptr<UserDefaults> UserDefaults::initWithSuiteName(const QString& suiteName)
{
    // One object per domain for the life of the process, so that every observer of
    // a key hears of every change made in the process.
    static auto* registry = new QHash<QString, std::shared_ptr<UserDefaults>>;
    std::lock_guard lock(registryMutex);
    auto& defaults = (*registry)[suiteName];
    if (!defaults)
        defaults = std::make_shared<UserDefaults>(suiteName);
    return defaults;
}

UserDefaults::UserDefaults(QString domain)
    : m_domain(std::move(domain))
{
}

QString UserDefaults::filePath() const
{
    if (isJavaPreferences())
        return JavaPreferences::defaultUserRoot();
    return StandardPaths::path(StandardPaths::Folder::Preferences) + QLatin1Char('/') + m_domain + QStringLiteral(".plist");
}

QVariant UserDefaults::objectForKey(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    reloadIfChangedLocked();
    return m_values.value(key);
}

QVariantMap UserDefaults::dictionaryRepresentation() const
{
    std::lock_guard lock(m_mutex);
    reloadIfChangedLocked();
    return m_values;
}

QString UserDefaults::stringForKey(const QString& key) const
{
    const QVariant value = objectForKey(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

bool UserDefaults::boolForKey(const QString& key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed().toLower();
        return text == QLatin1String("yes") || text == QLatin1String("true") || text.toLongLong() != 0;
    }
    return value.toBool();
}

qint64 UserDefaults::integerForKey(const QString& key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::Double)
        return qint64(value.toDouble());
    return value.toLongLong();
}

double UserDefaults::doubleForKey(const QString& key) const
{
    return objectForKey(key).toDouble();
}

QByteArray UserDefaults::dataForKey(const QString& key) const
{
    const QVariant value = objectForKey(key);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

QVariantList UserDefaults::arrayForKey(const QString& key) const
{
    const QVariant value = objectForKey(key);
    return value.typeId() == QMetaType::QVariantList ? value.toList() : QVariantList();
}

QVariantMap UserDefaults::dictionaryForKey(const QString& key) const
{
    const QVariant value = objectForKey(key);
    return value.typeId() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
}

QUrl UserDefaults::URLForKey(const QString& key) const
{
    const QString text = stringForKey(key);
    if (text.isEmpty())
        return {};
    if (text.startsWith(QLatin1String("file:")))
        return QUrl(text);
    return QUrl::fromLocalFile(QDir::cleanPath(expandTilde(text)));
}

bool UserDefaults::setURL(const QUrl& url, const QString& key)
{
    if (!url.isValid())
        return removeObjectForKey(key);
    return setObject(url.isLocalFile() ? abbreviateHome(url.toLocalFile()) : url.toString(), key);
}

bool UserDefaults::setObject(const QVariant& value, const QString& key)
{
    if (isJavaPreferences()) {
        Log::error(QStringLiteral("the preferences %1 are read only; %2 was not stored").arg(m_domain, key));
        return false;
    }
    if (value.isValid()) {
        Error error;
        if (PropertyList::toData(QVariantMap{{key, value}}, PropertyList::Format::Binary, &error).isEmpty()) {
            Log::error(QStringLiteral("cannot store %1 in the preferences %2: %3").arg(key, m_domain, error.message));
            return false;
        }
    }
    willChangeValueForKey(key);
    bool written;
    {
        std::lock_guard lock(m_mutex);
        reloadIfChangedLocked();
        QVariantMap changed = m_values;
        if (value.isValid())
            changed.insert(key, value);
        else
            changed.remove(key);
        written = writeLocked(changed, key);
    }
    didChangeValueForKey(key);
    return written;
}

bool UserDefaults::writeLocked(const QVariantMap& values, const QString& key)
{
    Error error;
    const QString path = filePath();
    const QByteArray data = PropertyList::toData(values, PropertyList::Format::Binary, &error);
    if (data.isEmpty() || !FileOperations::makeDirectory(QFileInfo(path).path(), true, &error)
        || !FileOperations::writeFileAtomically(path, data, &error)) {
        Log::error(QStringLiteral("cannot write the preferences %1 (key %2): %3").arg(path, key, error.message));
        return false;
    }
    m_values = values;
    m_loaded = currentStamp();
    return true;
}

// Reads the store again when its file changed since it was last read or written,
// so values another process wrote are seen.
void UserDefaults::reloadIfChangedLocked() const
{
    const FileStamp stamp = currentStamp();
    if (m_loaded == stamp && !isJavaPreferences())
        return;
    m_values = readStore();
    m_loaded = stamp;
}

UserDefaults::FileStamp UserDefaults::currentStamp() const
{
    struct stat status {};
    if (::stat(QFile::encodeName(filePath()).constData(), &status) != 0)
        return {};
    return {quint64(status.st_ino), qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec, qint64(status.st_size)};
}

QVariantMap UserDefaults::readStore() const
{
    if (isJavaPreferences())
        return JavaPreferences::read(filePath());
    Error error;
    const std::optional<QByteArray> contents = BoundedFileRead::contents(filePath(), maximumStoreSize, &error);
    if (!contents) {
        if (error.code != ENOENT)
            Log::error(QStringLiteral("cannot read the preferences %1").arg(error.message));
        return {};
    }
    const QVariant store = PropertyList::fromData(*contents, &error);
    if (store.typeId() != QMetaType::QVariantMap) {
        Log::error(QStringLiteral("the preferences %1 are not a dictionary: %2").arg(filePath(), error.message));
        return {};
    }
    return store.toMap();
}

} // namespace platform
