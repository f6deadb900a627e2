#pragma once

#include <QUrl>

// The program's own log: the logger's default log file in the "Kova" subfolder of
// the user's logs folder, named after the process.
namespace KOVA_LoggerExtension {

QUrl defaultLogFileKOVA();

} // namespace KOVA_LoggerExtension
