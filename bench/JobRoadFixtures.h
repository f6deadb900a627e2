#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <string>

// The print package the job road benchmarks run, and the process's resident memory.
namespace JobRoadFixtures {

// A 4 x 6 print at 300 dpi.
inline constexpr QSize printSize{1200, 1800};

// Writes into `templatesFolder` a QR code and the print templates "print1" to
// "print<outputCount>": print N shows the photo the ticket gives as "imageN", the
// ticket's "caption" and the QR code as a graphic. Writes at `packagePath` the package
// of product code `pluCode` with one output a print, each delivered as `destination`
// (a destination element) says.
bool writePrintPackage(const QString& templatesFolder, const QString& packagePath, const QString& pluCode, int outputCount,
                       const QString& destination);

// The ticket values that give print N the photo N: "<image1>path</image1>...".
QString photoValues(const QStringList& photos);

bool writeFile(const QString& path, const QByteArray& bytes);

// A memory figure of the process in megabytes: "VmHWM" the peak resident memory since
// the last reset, "VmRSS" the resident memory now.
double residentMegabytes(const std::string& field);
void resetPeakResidentMemory();

} // namespace JobRoadFixtures
