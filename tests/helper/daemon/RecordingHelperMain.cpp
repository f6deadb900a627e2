// The helper daemon as the tests activate it: owners are recorded, not changed.
#include "RecordingOwnership.h"
#include "helper/lib/HelperDaemon.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    kova::test::RecordingOwnership ownership;
    return kova::helper::HelperDaemon::run(ownership, QStringLiteral("admins"));
}
