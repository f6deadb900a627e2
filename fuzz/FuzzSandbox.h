#pragma once

#include <QString>

// What every fuzz program sets up before its first input: a private temporary folder
// that stands in for the home folder, the XDG folders and the machine-wide domain, so
// nothing outside it is touched; a Qt application object; and a quiet standard error.
namespace FuzzSandbox {

// Prepares the process for `programName` and returns an empty work folder inside the
// sandbox. Unless KOVA_FUZZ_LOG is set, asks libFuzzer to send standard error to
// /dev/null (-close_fd_mask=2): the system logs every refused input there, which would
// slow the run to a crawl; libFuzzer's own lines and the sanitizers' reports still
// reach the terminal. Aborts when the sandbox cannot be made.
QString prepare(int* argc, char*** argv, const char* programName);

// Stops the run like a crash when `fault` is not empty, with it on standard output.
void abortOnFault(const QString& fault);

} // namespace FuzzSandbox
