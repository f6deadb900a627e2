#pragma once

#include <QWidget>

// The info pane: the program's long version, the host facts its log banner
// shows, and the licences of the libraries it is built on.
class PrefsInfoViewController : public QWidget {
    Q_OBJECT
public:
    static inline const QString identifier = QStringLiteral("prefsInfo");

    explicit PrefsInfoViewController(QWidget* parent = nullptr);

private:
    QWidget* makeHostFacts();
    QWidget* makeLicences();
};
