#include "app/preferences/AddDeleteButtons.h"

#include <QHBoxLayout>
#include <QPushButton>

AddDeleteButtons::AddDeleteButtons(const QString& deleteName, std::function<void()> add, std::function<void()> remove,
                                   QWidget* parent)
    : QWidget(parent)
{
    auto* addButton = new QPushButton(QStringLiteral("+"), this);
    addButton->setObjectName(QStringLiteral("addFolderSet"));
    connect(addButton, &QPushButton::clicked, this, std::move(add));
    auto* deleteButton = new QPushButton(QStringLiteral("−"), this);
    deleteButton->setObjectName(deleteName);
    connect(deleteButton, &QPushButton::clicked, this, std::move(remove));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(addButton);
    layout->addWidget(deleteButton);
    layout->addStretch();
}
