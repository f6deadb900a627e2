#pragma once

#include <QString>

// The read-only resources the programs ship with (colour profiles): installed in
// <prefix>/share/kova, or, for programs run from the build tree, in the build's
// data folder.
namespace platform::ResourcePaths {

// The path of the resource file `name`.`type`: in the share/kova folder beside
// the running program's bin folder, in the installed data folder, then in the
// build's data folder; empty when none of them has it.
QString pathForResource(const QString& name, const QString& type);

} // namespace platform::ResourcePaths
