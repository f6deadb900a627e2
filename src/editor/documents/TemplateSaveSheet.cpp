#include "editor/documents/TemplateSaveSheet.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TemplateSaveSheet::TemplateSaveSheet(const QString& templateName, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("templateSaveSheet"));
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Unsaved Changes"));
    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(48, 48));
    auto* message = new QLabel(
        QStringLiteral("Do you want to save the changes you made to the template \"%1\"?").arg(templateName));
    message->setWordWrap(true);
    auto* detail = new QLabel(QStringLiteral("Your changes will be lost if you don't save them."));
    m_doNotAsk = new QCheckBox(QStringLiteral("Do not ask again"));
    m_save = new QPushButton;
    m_dontSave = new QPushButton;
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    m_save->setDefault(true);
    connect(m_save, &QPushButton::clicked, this, [this] { answer(UnsavedChangesPolicy::save); });
    connect(m_dontSave, &QPushButton::clicked, this, [this] { answer(UnsavedChangesPolicy::dontSave); });
    connect(cancel, &QPushButton::clicked, this, [this] { answer(UnsavedChangesPolicy::cancel); });
    connect(m_doNotAsk, &QCheckBox::toggled, this, &TemplateSaveSheet::updateTitles);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_doNotAsk);
    buttons->addStretch();
    buttons->addWidget(m_dontSave);
    buttons->addWidget(cancel);
    buttons->addWidget(m_save);
    auto* texts = new QVBoxLayout;
    texts->addWidget(message);
    texts->addWidget(detail);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    updateTitles();
}

void TemplateSaveSheet::answer(UnsavedChangesPolicy::Answer answer)
{
    if (m_answered)
        return;
    m_answered = true;
    UnsavedChangesPolicy::storeAnswer(answer, m_doNotAsk->isChecked());
    emit answered(answer);
    done(answer == UnsavedChangesPolicy::cancel ? Rejected : Accepted);
}

void TemplateSaveSheet::reject()
{
    if (!m_answered)
        answer(UnsavedChangesPolicy::cancel);
    else
        QDialog::reject();
}

void TemplateSaveSheet::updateTitles()
{
    m_save->setText(UnsavedChangesPolicy::saveTitle(m_doNotAsk->isChecked()));
    m_dontSave->setText(UnsavedChangesPolicy::dontSaveTitle(m_doNotAsk->isChecked()));
}
