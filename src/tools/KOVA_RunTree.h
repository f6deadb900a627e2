#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

// A tree that stands in for the machine while kova_run runs: the home folder, the
// XDG folders, the machine-wide domain and the temporary folder point into it, so
// the run reads and writes no real preferences, logs or work folders. A temporary
// tree is removed when the object goes, unless kept; a tree in a named folder stays,
// so that a run stopped on it can be started again and carry on.
class KOVA_RunTree {
public:
    // Makes a temporary tree and points the environment at it; before the application
    // object exists, so that everything reads the new environment.
    KOVA_RunTree();
    // As above, on the tree in `folder`, made when missing.
    explicit KOVA_RunTree(const QString& folder);

    bool isValid() const { return !m_root.isEmpty(); }
    QString root() const { return m_root; }
    void setKept(bool kept);

    // Whether the tree was set up before: its preferences written and its tickets
    // dropped. Marked when the tickets are all in their hot folders; until then every
    // start sets the tree up again, carrying on with what an earlier one did.
    bool isSetUp() const;
    bool markSetUp() const;

    // Where the tickets are written before they are moved into a hot folder whole
    // (on the same file system, so the move is one rename).
    QString incomingFolder() const { return root() + QStringLiteral("/Incoming"); }
    QString completedFolder() const { return root() + QStringLiteral("/Jobs/Completed"); }
    QString failedFolder() const { return root() + QStringLiteral("/Jobs/Failed"); }
    // The print-to-file sets' folders, one a set.
    QString deliveredFolder() const { return root() + QStringLiteral("/Delivered"); }
    // The print centre's hot folder.
    QString printCentreFolder() const { return root() + QStringLiteral("/Print Centre"); }

    // Writes the preferences of a processor that runs: the examples' packages and
    // templates, the completed and failed folders, the print-to-file sets and the
    // print centre's hot folder; all of them written when it returns true. Written
    // again by a set-up that carries on after a kill. Needs the application object.
    bool writePreferences(const QString& examples) const;

private:
    void pointEnvironment() const;
    bool makeFolders() const;
    QString setUpMark() const { return root() + QStringLiteral("/.set-up"); }

    std::unique_ptr<QTemporaryDir> m_temporary;
    QString m_root;
};
