#include "helper/lib/HelperDaemon.h"
#include "helper/lib/SystemFolderOwnership.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    kova::helper::SystemFolderOwnership ownership;
    return kova::helper::HelperDaemon::run(ownership, QStringLiteral(KOVA_ADMINISTRATORS_GROUP));
}
