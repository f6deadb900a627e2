#pragma once

#include "workflow/packages/KOVA_Package.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

// Finds the package file for one package description of a job: the variant for the
// shape of the job's first image ("PRT" when portrait, else "LS") by its product code,
// else the file of the bare code as a fallback. The job bundle's "Packages" folder is
// searched first, then the packages folder of the preferences; a folder that gives a
// package or a fallback ends the search. Every regular file of a folder, at any depth,
// is a candidate; a candidate whose code is foreign is left with its body unread.
class KOVA_PackageLookup {
public:
    // Most entries looked at in one folder, at all depths together.
    static constexpr int MaximumEntriesPerFolder = 10000;

    explicit KOVA_PackageLookup(const QVariantMap& description);

    // The package found, else the fallback, else null.
    KOVA_Package::Pointer find();

    QString bareName() const { return m_bareName; }
    QString wantedName() const { return m_wantedName; }

    // "PRT" when the image is taller than wide, else "LS" (landscape, square or no image).
    // The image is `image1` itself when absolute, else the file of that name in the
    // bundle's images (refused when it leads out of the bundle); a relative name without
    // a bundle names none. Only its header is read.
    static QString orientationSuffix(const QString& image1, const QUrl& container);
    // The folders searched, in order: the bundle's "Packages" (unless a link takes it out
    // of the bundle), then the preferences' one.
    static QList<QUrl> packageFolders(const QUrl& container);

private:
    enum class Verdict { Undecided, Found, Fallback, Skipped };

    // Walks one folder at all depths, up to a package found.
    void searchFolder(const QUrl& folder);
    // Reads the candidate file; true when it is the package wanted.
    bool considerFile(const QString& path);
    Verdict judge(const QVariantMap& values, const QUrl& file) const;

    QUrl m_container;
    QString m_bareName;
    QString m_wantedName;
    KOVA_Package::Pointer m_found;
    KOVA_Package::Pointer m_fallback;
};
