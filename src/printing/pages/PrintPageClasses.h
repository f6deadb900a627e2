#pragma once

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

class ZORVAK_PrintPage;

// The print page classes the factory finds by name, each with its old-ticket import. The DNP
// and Mitsubishi pages are known from the start. Thread-safe.
class PrintPageClasses {
public:
    // Makes a page of the class from a ticket (a dictionary or a ticket file's URL); null when
    // the class refuses the ticket.
    using Import = std::function<std::shared_ptr<ZORVAK_PrintPage>(const QVariant& ticket)>;

    // The import of the class named `className`; empty when no such class is known.
    static Import classNamed(const QString& className);
    // Makes the class known under `className` with `import`, replacing any class of that name;
    // an empty import removes the class.
    static void registerClass(const QString& className, Import import);
};
