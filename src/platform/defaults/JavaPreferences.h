#pragma once

#include <QString>
#include <QVariantMap>

namespace platform {

// Reads a Java user-preferences tree (`~/.java/.userPrefs`: one folder per node,
// named after it, each holding a prefs.xml map of entries) into nested dictionaries: the root node
// under "/", each child node under its name followed by "/", entries by their keys.
// Read only; bounded in depth, node count and file size.
class JavaPreferences {
public:
    static QString defaultUserRoot();
    static QVariantMap read(const QString& userRoot);

private:
    static QVariantMap readNode(const QString& folder, int depth, int& nodesLeft);
    static QVariantMap readEntries(const QString& prefsFile);
};

} // namespace platform
