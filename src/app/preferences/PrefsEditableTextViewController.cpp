#include "app/preferences/PrefsEditableTextViewController.h"

#include "app/preferences/EditableTextTableModel.h"

#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

PrefsEditableTextViewController::PrefsEditableTextViewController(QWidget* parent) : QWidget(parent)
{
    setObjectName(identifier);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("tableViewEditableText"));
    m_table->setModel(new EditableTextTableModel(m_table));
    m_table->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
}
