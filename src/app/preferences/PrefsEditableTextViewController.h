#pragma once

#include <QWidget>

class QTableView;

// The editable-texts pane: the twenty numbered texts, each edited in place.
class PrefsEditableTextViewController : public QWidget {
    Q_OBJECT
public:
    static inline const QString identifier = QStringLiteral("prefsEditableText");

    explicit PrefsEditableTextViewController(QWidget* parent = nullptr);

    QTableView* tableView() const { return m_table; }

private:
    QTableView* m_table = nullptr;
};
