#pragma once

#include <QWidget>

// The advanced pane: where the log file is, and a button that shows it in the
// file manager.
class PrefsAdvancedViewController : public QWidget {
    Q_OBJECT
public:
    static inline const QString identifier = QStringLiteral("prefsAdvanced");

    explicit PrefsAdvancedViewController(QWidget* parent = nullptr);
};
