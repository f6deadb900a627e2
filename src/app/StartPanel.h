#pragma once

#include <QWidget>

class QAction;

// The small panel shown while no ordinary window is on screen: a frameless,
// translucent tool window on top of the others, centred, with buttons for the
// shared actions (the panel is all the operator sees then) and one that puts
// the panel away.
class StartPanel : public QWidget {
public:
    StartPanel(const QList<QAction*>& sharedActions, std::function<void()> startSitting, QWidget* parent = nullptr);

    // Centres the panel on its screen, shows it, raises it and makes it active.
    void present();

protected:
    void paintEvent(QPaintEvent* event) override;
};
