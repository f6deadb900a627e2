#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The key paths an observation takes or a removal matches: one key path, or a list
// or set of them, compared as a set. An empty set means "any key path" where a
// removal takes one.
class OBKVOKeyPathSet {
public:
    OBKVOKeyPathSet() = default;
    OBKVOKeyPathSet(const QString& keyPath) : m_keyPaths{keyPath} {}
    OBKVOKeyPathSet(const char* keyPath) : m_keyPaths{QString::fromUtf8(keyPath)} {}
    OBKVOKeyPathSet(const QStringList& keyPaths) : m_keyPaths(keyPaths.begin(), keyPaths.end()) {}
    OBKVOKeyPathSet(const QSet<QString>& keyPaths) : m_keyPaths(keyPaths) {}

    QSet<QString> ob_keyPathsAsSetOfStrings() const { return m_keyPaths; }

private:
    QSet<QString> m_keyPaths;
};
