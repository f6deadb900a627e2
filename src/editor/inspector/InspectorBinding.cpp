#include "editor/inspector/InspectorBinding.h"

#include "editor/inspector/InspectorTextField.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

namespace InspectorBinding {

namespace {

// Shows the value now and after each of its changes.
template <class Control, class Show>
void follow(KOVA_LayerInspector& mirror, Key key, Control* control, Show show)
{
    const auto refresh = [&mirror, key, control, show] {
        const QSignalBlocker blocker(control);
        show(control, mirror.value(key));
    };
    refresh();
    QObject::connect(&mirror, &KOVA_LayerInspector::valueChanged, control, [key, refresh](Key changed) {
        if (changed == key)
            refresh();
    });
}

// Sends the control's value as the edit whenever `signal` fires.
template <class Control, class Signal, class Read>
void edit(KOVA_LayerInspector& mirror, Key key, Control* control, Signal signal, Read read)
{
    QObject::connect(control, signal, &mirror, [&mirror, key, control, read] { mirror.setValue(key, read(control)); });
}

QIcon swatch(const QColor& color)
{
    QPixmap pixmap(28, 14);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(Qt::darkGray);
    painter.setBrush(color.isValid() ? color : QColor(Qt::transparent));
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

} // namespace

void bindNumber(KOVA_LayerInspector& mirror, Key key, QDoubleSpinBox* field)
{
    follow(mirror, key, field, [](QDoubleSpinBox* f, const QVariant& v) { f->setValue(v.toDouble()); });
    edit(mirror, key, field, &QDoubleSpinBox::valueChanged, [](QDoubleSpinBox* f) { return f->value(); });
}

void bindInteger(KOVA_LayerInspector& mirror, Key key, QSpinBox* field)
{
    follow(mirror, key, field, [](QSpinBox* f, const QVariant& v) { f->setValue(v.toInt()); });
    edit(mirror, key, field, &QSpinBox::valueChanged, [](QSpinBox* f) { return f->value(); });
}

void bindFlag(KOVA_LayerInspector& mirror, Key key, QCheckBox* box)
{
    follow(mirror, key, box, [](QCheckBox* b, const QVariant& v) { b->setChecked(v.toBool()); });
    edit(mirror, key, box, &QCheckBox::toggled, [](QCheckBox* b) { return b->isChecked(); });
}

void bindText(KOVA_LayerInspector& mirror, Key key, QComboBox* box)
{
    follow(mirror, key, box, [](QComboBox* b, const QVariant& v) {
        if (b->isEditable())
            b->setEditText(v.toString());
        else
            b->setCurrentIndex(b->findText(v.toString()));
    });
    edit(mirror, key, box, &QComboBox::textActivated, [](QComboBox* b) { return b->currentText(); });
}

void bindIndex(KOVA_LayerInspector& mirror, Key key, QComboBox* box)
{
    follow(mirror, key, box, [](QComboBox* b, const QVariant& v) { b->setCurrentIndex(v.toInt()); });
    edit(mirror, key, box, &QComboBox::activated, [](QComboBox* b) { return b->currentIndex(); });
}

void bindText(KOVA_LayerInspector& mirror, Key key, QLineEdit* field)
{
    follow(mirror, key, field, [](QLineEdit* f, const QVariant& v) { f->setText(v.toString()); });
    edit(mirror, key, field, &QLineEdit::editingFinished, [](QLineEdit* f) { return f->text(); });
}

void bindText(KOVA_LayerInspector& mirror, Key key, InspectorTextField* field)
{
    follow(mirror, key, field, [](InspectorTextField* f, const QVariant& v) {
        if (f->toPlainText() != v.toString())
            f->setPlainText(v.toString());
    });
    const auto read = [](InspectorTextField* f) { return f->toPlainText(); };
    edit(mirror, key, field, &InspectorTextField::editingFinished, read);
    QObject::connect(&mirror, &KOVA_LayerInspector::commitEditingRequested, field,
                     [&mirror, key, field, read] { mirror.setValue(key, read(field)); });
}

void bindColor(KOVA_LayerInspector& mirror, Key key, QPushButton* well)
{
    follow(mirror, key, well, [](QPushButton* w, const QVariant& v) { w->setIcon(swatch(v.value<QColor>())); });
    QObject::connect(well, &QPushButton::clicked, &mirror, [&mirror, key, well] {
        auto* dialog = new QColorDialog(mirror.value(key).value<QColor>(), well->window());
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QColorDialog::colorSelected, &mirror,
                         [&mirror, key](const QColor& color) { mirror.setValue(key, color); });
        dialog->open();
    });
}

void bindAction(KOVA_LayerInspector& mirror, void (KOVA_LayerInspector::*action)(), QAbstractButton* button)
{
    QObject::connect(button, &QAbstractButton::clicked, &mirror, [&mirror, action] { (mirror.*action)(); });
}

} // namespace InspectorBinding
