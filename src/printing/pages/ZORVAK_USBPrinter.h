#pragma once

#include <QString>

class ZORVAK_PrintPage;

// The printer object of the print-centre program, which attaches one to each page it prints.
// A page only asks its printer to print it and to describe itself.
class ZORVAK_USBPrinter {
public:
    virtual ~ZORVAK_USBPrinter() = default;

    virtual void printPage(ZORVAK_PrintPage& page) = 0;
    virtual QString description() const = 0;
};
