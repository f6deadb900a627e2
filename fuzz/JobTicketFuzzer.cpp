// Feeds arbitrary bytes to the job ticket reader and the package reader the way a hot
// folder and a packages folder hand them over: as a bare ticket, whose package
// descriptions are then looked up in a packages folder holding the same bytes as a
// package file, and as a package file parsed and written on its own.
#include "FuzzSandbox.h"

#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/packages/KOVA_Package.h"
#include "workflow/processing/KOVA_Road.h"

#include <QByteArray>
#include <QDir>
#include <QSaveFile>
#include <QVariant>

#include <cstdint>
#include <cstdlib>

namespace {

QString packageFile;

void lookUpPackages(const KOVA_Job& job)
{
    for (const QVariant& description : job.jobPackages())
        KOVA_Package::packageWithDictionary(description.toMap());
}

void readPackage(const QByteArray& bytes)
{
    const auto package = KOVA_XML_object::initWithObject<KOVA_Package>(QVariant(bytes));
    if (!package)
        return;
    package->parseXML([](const QVariantMap&, const platform::Error&, bool&) {});
    package->asXMLElement();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    const QString packages = FuzzSandbox::prepare(argc, argv, "kova_fuzz_job_ticket") + QStringLiteral("/Packages");
    if (!QDir().mkpath(packages))
        std::abort();
    packageFile = packages + QStringLiteral("/package.xml");
    platform::UserDefaults::standardUserDefaults()->setObject(packages, key_kovaFolderPackages);
    KOVA_Road::install();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QSaveFile file(packageFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        std::abort();
    if (const auto job = KOVA_Job::instanceWithXMLObject(QVariant(bytes))) {
        job->makePreviewItems();
        job->valueForKey(QStringLiteral("image1"), job->packageName());
        lookUpPackages(*job);
    }
    readPackage(bytes);
    return 0;
}
