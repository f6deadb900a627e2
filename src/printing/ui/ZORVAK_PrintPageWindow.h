#pragma once

#include <QDialog>

// The print panel's window. A frame set before it is shown is kept, off screen
// included: showing it does not centre it or pull it onto a screen (only a
// window given no position is placed). It can become the active window.
class ZORVAK_PrintPageWindow : public QDialog {
    Q_OBJECT
public:
    explicit ZORVAK_PrintPageWindow(QWidget* parent = nullptr);
};
