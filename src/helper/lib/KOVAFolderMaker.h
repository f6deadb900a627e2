#pragma once

#include "helper/lib/FolderOwnership.h"

#include <QString>

namespace kova::helper {

// Makes the shared work-folder tree under the local application support folder:
// "Morvanta/KOVA" with "Nodes", "Packages", "Templates", "Graphics" and
// "Jobs/Completed", "Jobs/Failed", "Jobs/Pending". Every path is walked from the
// root one component at a time without following symbolic links, so a link
// planted anywhere on the way is an error and nothing below it is touched. The
// verified folders get owner 0, group "kova" and mode 0775; "Morvanta" gets the
// administrators' group; "KOVA" and "Jobs" keep what they were made with.
class KOVAFolderMaker {
public:
    static inline const QString TreeGroup = QStringLiteral("kova");

    KOVAFolderMaker(FolderOwnership& ownership, const QString& administratorsGroup);

    // The "KOVA" folder's path below $KOVA_LOCAL_DOMAIN.
    static QString kovaFolderPath();

    // The "KOVA" folder's URL text, or empty when "Completed" cannot be verified.
    // `error` receives the last failing step's error, and stays untouched when
    // every step succeeded.
    QString makeKOVAFolder(platform::Error* error) const;

private:
    // Makes the folder when missing, then gives it owner and mode. Stores a
    // failure in `slot`; a success leaves the slot as it was.
    void verifyDirectory(const QString& path, const QString& groupName, platform::Error* slot) const;

    FolderOwnership& m_ownership;
    QString m_administratorsGroup;
};

} // namespace kova::helper
