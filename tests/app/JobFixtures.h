#pragma once

#include "FileFixtures.h"
#include "workflow/jobs/KOVA_Job.h"

#include <QDir>

namespace kova::test {

inline const QByteArray smallTicket = "<data type=\"kova_job\" version=\"1.0\"><package type=\"inline\" name=\"I\"/></data>";

// Job bundles "<name>.kovajob" with a ticket each, made in `folder`, and the jobs read from them.
inline QList<std::shared_ptr<KOVA_Job>> makeBundles(const QString& folder, const QStringList& names)
{
    QList<std::shared_ptr<KOVA_Job>> jobs;
    for (const QString& name : names) {
        const QString bundle = folder + QLatin1Char('/') + name + QStringLiteral(".kovajob");
        QDir().mkpath(bundle);
        writeFile(bundle + QStringLiteral("/job.xml"), smallTicket);
        jobs << KOVA_Job::instanceWithXMLObject(bundle);
    }
    return jobs;
}

} // namespace kova::test
