#pragma once

#include <QWidget>

#include <functional>

// The "+" and "−" buttons under a table, named "addFolderSet" and `deleteName`.
class AddDeleteButtons : public QWidget {
    Q_OBJECT
public:
    AddDeleteButtons(const QString& deleteName, std::function<void()> add, std::function<void()> remove,
                     QWidget* parent = nullptr);
};
