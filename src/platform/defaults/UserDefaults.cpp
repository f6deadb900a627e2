#include "platform/defaults/UserDefaults.h"

#include "platform/Log.h"
#include "platform/defaults/JavaPreferences.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/files/FileLock.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StandardPaths.h"
#include "platform/plist/PropertyList.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <sys/stat.h>

namespace platform {
namespace {

// Damaged files kept aside within one second get numbered names; past this many
// something else is wrong.
constexpr int maximumKeptAsideNames = 100;

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
        defaults = std::shared_ptr<UserDefaults>(new UserDefaults(suiteName));
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

bool UserDefaults::setObject(const QVariant& value, const QString& key, Error* error)
{
    if (isJavaPreferences()) {
        const QString message = QStringLiteral("the preferences %1 are read only; %2 was not stored").arg(m_domain, key);
        Log::error(message);
        setError(error, Error{Error::DefaultsDomain, 0, message});
        return false;
    }
    if (value.isValid()) {
        Error encodingError;
        if (PropertyList::toData(QVariantMap{{key, value}}, PropertyList::Format::Binary, &encodingError).isEmpty()) {
            Log::error(QStringLiteral("cannot store %1 in the preferences %2: %3").arg(key, m_domain, encodingError.message));
            setError(error, encodingError);
            return false;
        }
    }
    willChangeValueForKey(key);
    bool written;
    {
        std::lock_guard lock(m_mutex);
        written = writeLocked(value, key, error);
    }
    if (written)
        didChangeValueForKey(key);
    else
        abandonChangeValueForKey(key);
    return written;
}

bool UserDefaults::writeLocked(const QVariant& value, const QString& key, Error* error)
{
    Error writeError;
    const QString path = filePath();
    std::unique_ptr<FileLock> writersLock;
    if (FileOperations::makeDirectory(QFileInfo(path).path(), true, &writeError))
        writersLock = FileLock::acquire(path + QStringLiteral(".lock"), &writeError);
    if (!writersLock || !replaceFileLocked(value, key, &writeError)) {
        Log::error(QStringLiteral("cannot write the preferences %1 (key %2): %3").arg(path, key, writeError.message));
        setError(error, writeError);
        return false;
    }
    return true;
}

// Holding the writers' lock: the file is read again when another writer changed
// it, this change is applied to what it holds, and the stamp kept is that of the
// file written here, as no other writer can replace it before the lock is let go.
bool UserDefaults::replaceFileLocked(const QVariant& value, const QString& key, Error* error)
{
    reloadIfChangedLocked();
    if (m_problem.condition == FileCondition::Unreadable) {
        *error = {Error::DefaultsDomain, 0, QStringLiteral("the file cannot be read: %1").arg(m_problem.reason)};
        return false;
    }
    if (m_problem.condition == FileCondition::Damaged && !keepDamagedFileAside(error))
        return false;
    QVariantMap changed = m_values;
    if (value.isValid())
        changed.insert(key, value);
    else
        changed.remove(key);
    const QByteArray data = PropertyList::toData(changed, PropertyList::Format::Binary, error);
    if (data.size() > maximumStoreSize) {
        *error = {Error::DefaultsDomain, 0, QStringLiteral("the file would grow to %1 bytes, past the %2 bytes it is read with")
                                                .arg(data.size()).arg(maximumStoreSize)};
        return false;
    }
    if (data.isEmpty() || !FileOperations::writeFileAtomically(filePath(), data, error, 0600))
        return false;
    m_values = changed;
    m_loaded = currentStamp();
    m_problem = {};
    return true;
}

// Moves the damaged file out of the way under a name that says so, never over
// one kept aside before.
bool UserDefaults::keepDamagedFileAside(Error* error) const
{
    const QString path = filePath();
    const QString aside = path + QStringLiteral(".damaged-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int number = 1; number <= maximumKeptAsideNames; ++number) {
        const QString target = number == 1 ? aside : QStringLiteral("%1-%2").arg(aside).arg(number);
        if (FileOperations::moveItemNoReplace(path, target, error)) {
            Log::error(QStringLiteral("the preferences %1 are damaged (%2); kept aside as %3").arg(path, m_problem.reason, target));
            return true;
        }
        if (error->code != EEXIST)
            return false;
    }
    return false;
}

// Reads the store again when its file changed since it was last read or written,
// so values another process wrote are seen. A file that cannot be used counts as
// empty; why is logged once and kept for the next write.
void UserDefaults::reloadIfChangedLocked() const
{
    const FileStamp stamp = currentStamp();
    if (m_loaded == stamp && !isJavaPreferences())
        return;
    m_problem = {};
    m_values = readStore(&m_problem);
    if (m_problem.condition != FileCondition::Usable)
        Log::error(QStringLiteral("cannot use the preferences %1: %2").arg(filePath(), m_problem.reason));
    m_loaded = stamp;
}

UserDefaults::FileStamp UserDefaults::currentStamp() const
{
    struct stat status {};
    if (::stat(QFile::encodeName(filePath()).constData(), &status) != 0)
        return {};
    return {quint64(status.st_ino), qint64(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec,
            qint64(status.st_size), quint32(status.st_mode & S_IFMT)};
}

QVariantMap UserDefaults::readStore(FileProblem* problem) const
{
    if (isJavaPreferences())
        return JavaPreferences::read(filePath());
    Error error;
    const std::optional<QByteArray> contents = BoundedFileRead::contents(filePath(), maximumStoreSize, &error);
    if (!contents) {
        if (error.code != ENOENT)
            *problem = {FileCondition::Unreadable, error.message};
        return {};
    }
    const QVariant store = PropertyList::fromData(*contents, &error);
    if (store.typeId() != QMetaType::QVariantMap) {
        *problem = {FileCondition::Damaged, QStringLiteral("not a property-list dictionary: %1").arg(error.message)};
        return {};
    }
    return store.toMap();
}

} // namespace platform
