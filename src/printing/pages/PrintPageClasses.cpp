#include "printing/pages/PrintPageClasses.h"

#include "printing/pages/ZORVAK_PrintPageMitsu1.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"

#include <QHash>

#include <mutex>

namespace {

struct Registry {
    std::mutex mutex;
    QHash<QString, PrintPageClasses::Import> imports{
        {ZORVAK_PrintPage_DNP::ClassName, [](const QVariant& ticket) -> std::shared_ptr<ZORVAK_PrintPage> {
             return ZORVAK_PrintPage_DNP::initWithOLDKOVA(ticket);
         }},
        {ZORVAK_PrintPageMitsu1::ClassName, [](const QVariant& ticket) -> std::shared_ptr<ZORVAK_PrintPage> {
             return ZORVAK_PrintPageMitsu1::initWithOLDKOVA(ticket);
         }},
    };
};

Registry& registry()
{
    static Registry shared;
    return shared;
}

} // namespace

PrintPageClasses::Import PrintPageClasses::classNamed(const QString& className)
{
    Registry& classes = registry();
    const std::lock_guard lock(classes.mutex);
    return classes.imports.value(className);
}

void PrintPageClasses::registerClass(const QString& className, Import import)
{
    Registry& classes = registry();
    const std::lock_guard lock(classes.mutex);
    if (import)
        classes.imports.insert(className, std::move(import));
    else
        classes.imports.remove(className);
}
