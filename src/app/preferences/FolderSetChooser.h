#pragma once

#include <memory>

class KOVA_FolderSet;
class QWidget;

// A folder set's own folder chooser: an open panel for one folder, starting at
// the set's folder, as a sheet on the sender's window. A confirmed choice becomes
// the set's folder; a cancelled one changes nothing.
class FolderSetChooser {
public:
    static void choose(const std::shared_ptr<KOVA_FolderSet>& folderSet, QWidget* sender);
};
