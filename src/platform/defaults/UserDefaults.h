#pragma once

#include "platform/Error.h"
#include "platform/observation/Observable.h"

#include <QUrl>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <optional>

namespace platform {

// Preferences of one domain, kept as a property list at
// $XDG_CONFIG_HOME/<domain>.plist. One object per domain in a process, handed
// out by initWithSuiteName(). Every change is written at once, atomically, under
// an advisory lock on "<domain>.plist.lock" that every writing process takes:
// the file is read again when another writer changed it, so no writer's keys
// are lost. A file changed by another process is also read again on the next
// read. A file that exists but cannot be read is never written over; one that
// is read but is not a property-list dictionary is moved aside as
// "<domain>.plist.damaged-<yyyyMMdd-HHmmss>" before a new one is written. A new
// file is private to the user (0600). Thread-safe; each key can be observed
// (observers hear of changes written through this object, on the thread that
// made them; a write that failed is not announced).
//
// The suite "com.apple.java.util.prefs" is the Java user-preferences store of
// the outside ordering application, presented read-only as nested dictionaries.
class UserDefaults : public Observable {
public:
    static inline const QString javaPreferencesSuite = QStringLiteral("com.apple.java.util.prefs");
    // The largest preferences file read: a larger one would be lost at the next start.
    static constexpr qint64 maximumStoreSize = 64 * 1024 * 1024;

    // The process's own domain (set at start-up with setStandardDomain).
    static std::shared_ptr<UserDefaults> standardUserDefaults();
    static void setStandardDomain(const QString& domain);
    static QString standardDomain();
    // The preferences of another domain; one shared object per domain.
    static std::shared_ptr<UserDefaults> initWithSuiteName(const QString& suiteName);

    const QString& domain() const { return m_domain; }
    QString filePath() const;

    QVariant objectForKey(const QString& key) const;
    QString stringForKey(const QString& key) const;
    bool boolForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    QByteArray dataForKey(const QString& key) const;
    QVariantList arrayForKey(const QString& key) const;
    QVariantMap dictionaryForKey(const QString& key) const;
    // A path text ("~" expanded) or a "file:" URL text as a file URL.
    QUrl URLForKey(const QString& key) const;
    QVariantMap dictionaryRepresentation() const;

    // An invalid value removes the key. A value a property list cannot hold, or one
    // that would take the file past the size it is read back with (maximumStoreSize),
    // is refused with a log line. Returns whether the value was stored and written;
    // `error` tells why not.
    bool setObject(const QVariant& value, const QString& key, Error* error = nullptr);
    bool setBool(bool value, const QString& key) { return setObject(value, key); }
    bool setInteger(qint64 value, const QString& key) { return setObject(value, key); }
    bool setDouble(double value, const QString& key) { return setObject(value, key); }
    // File URLs are stored as their path with the home folder written as "~".
    bool setURL(const QUrl& url, const QString& key);
    bool removeObjectForKey(const QString& key) { return setObject(QVariant(), key); }

    QVariant valueForKey(const QString& key) const override { return objectForKey(key); }

private:
    explicit UserDefaults(QString domain);

    // What keeps the store's file from being used: one that cannot be read is
    // left alone, one that is read but not understood is damaged.
    enum class FileCondition { Usable, Unreadable, Damaged };
    struct FileProblem {
        FileCondition condition = FileCondition::Usable;
        QString reason;
    };

    // What identifies one version of the store's file: an atomic write replaces
    // the file, so its inode changes even within one tick of the clock; the
    // change time also moves when only its permissions do.
    struct FileStamp {
        quint64 inode = 0;
        qint64 changedNanoseconds = 0;
        qint64 size = -1;
        quint32 type = 0; // S_IFMT bits; 0 when there is no file
        bool operator==(const FileStamp&) const = default;
    };

    bool isJavaPreferences() const { return m_domain == javaPreferencesSuite; }
    void reloadIfChangedLocked() const;
    QVariantMap readStore(FileProblem* problem) const;
    bool writeLocked(const QVariant& value, const QString& key, Error* error);
    bool replaceFileLocked(const QVariant& value, const QString& key, Error* error);
    bool keepDamagedFileAside(Error* error) const;
    FileStamp currentStamp() const;

    const QString m_domain;
    mutable std::mutex m_mutex;
    mutable QVariantMap m_values;
    mutable std::optional<FileStamp> m_loaded;
    mutable FileProblem m_problem;
};

} // namespace platform
