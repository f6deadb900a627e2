#pragma once

#include "platform/observation/Observable.h"

#include <QMap>
#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// The twenty numbered texts ("1" to "20") that the operator maintains in the
// preferences and that text layers stamp into their output. The class side
// keeps them in one process-wide storage, loaded from the standard user
// defaults on first use and saved there whole after every change; each object
// is one entry (a key and its text) for the preference pane's table.
//
// The storage is read while stamps render on many queues and changed from the
// preference pane: every class operation is thread-safe, and the saves reach
// the preferences in the order the changes were made.
class KOVA_EditableText : public platform::Observable {
public:
    static constexpr int numberOfTexts = 20;

    // A copy of the process-wide storage, key to text.
    static QMap<QString, QString> privateStorage();

    // The text stored under `key`, or none.
    static std::optional<QString> editableTextForKey(const QString& key);

    // Stores `text` under `key` (none removes the entry), then writes the whole
    // storage to the preferences. Answers whether the preferences were written;
    // the change in memory stands either way.
    static bool setEditableText(const std::optional<QString>& text, const QString& key);

    // One new object per stored key, ordered by key with runs of digits compared
    // by their value and other characters without regard to case ("2" before
    // "10", "text 2" before "text 10").
    static std::vector<std::shared_ptr<KOVA_EditableText>> editableTextObjects();

    // The storage that loading makes of `stored`, the preferences' value under
    // key_KOVA_EditableText. Entries whose value is not text are skipped. Twenty
    // entries that all carry keys of the older "text N" scheme are dropped; when
    // no more than nineteen remain, every missing number from 1 to 20 gets the
    // text "Editable Text #N".
    static QMap<QString, QString> storageFromPreferences(const QVariant& stored);

    explicit KOVA_EditableText(const QString& key = {});

    QString key() const;
    // Announced under "key".
    void setKey(const QString& key);

    // The text stored under key(), or the empty string when there is none.
    QString value() const;
    // Stores `value` under key() with setEditableText; announced under "value".
    void setValue(const QString& value);

    // "key" and "value".
    QVariant valueForKey(const QString& key) const override;

private:
    mutable std::mutex m_keyMutex;
    QString m_key;
};
