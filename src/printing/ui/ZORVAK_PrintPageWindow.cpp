#include "printing/ui/ZORVAK_PrintPageWindow.h"

ZORVAK_PrintPageWindow::ZORVAK_PrintPageWindow(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlag(Qt::WindowDoesNotAcceptFocus, false);
}
