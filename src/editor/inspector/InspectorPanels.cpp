#include "editor/inspector/InspectorPanels.h"

#include "editor/inspector/InspectorBinding.h"
#include "editor/inspector/TextboxTableCellView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include "editor/inspector/InspectorTextField.h"
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

namespace InspectorPanels {

namespace {

using Key = KOVA_LayerInspector::Key;
using namespace InspectorBinding;

// The letters of a font name the font field has room for at least.
constexpr int fontFieldLetters = 10;

// A panel: a bold title (or the panel's enable switch) over a form of controls.
QFormLayout* form(QWidget* panel, const QString& title)
{
    auto* layout = new QFormLayout(panel);
    layout->setContentsMargins(6, 2, 6, 6);
    layout->setVerticalSpacing(3);
    if (!title.isEmpty()) {
        auto* heading = new QLabel(title);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        layout->addRow(heading);
    }
    return layout;
}

QDoubleSpinBox* number(KOVA_LayerInspector& mirror, Key key, double step, const QString& name = {})
{
    auto* field = new QDoubleSpinBox;
    field->setObjectName(name);
    field->setRange(KOVA_LayerInspector::range(key).minimum, KOVA_LayerInspector::range(key).maximum);
    field->setSingleStep(step);
    field->setDecimals(step < 1 ? 2 : 1);
    // A typed number is one edit when it is entered, not one for each digit.
    field->setKeyboardTracking(false);
    bindNumber(mirror, key, field);
    return field;
}

QDoubleSpinBox* opacity(KOVA_LayerInspector& mirror, Key key)
{
    return number(mirror, key, 0.05);
}

QPushButton* colorWell(KOVA_LayerInspector& mirror, Key key)
{
    auto* well = new QPushButton;
    well->setObjectName(KOVA_LayerInspector::name(key));
    bindColor(mirror, key, well);
    return well;
}

QPushButton* action(KOVA_LayerInspector& mirror, const QString& title, void (KOVA_LayerInspector::*run)())
{
    auto* button = new QPushButton(title);
    bindAction(mirror, run, button);
    return button;
}

QComboBox* choices(KOVA_LayerInspector& mirror, Key key, const QStringList& entries, bool editable = false)
{
    auto* box = new QComboBox;
    box->setEditable(editable);
    box->addItems(entries);
    bindText(mirror, key, box);
    return box;
}

QCheckBox* enableSwitch(KOVA_LayerInspector& mirror, Key key, const QString& title, QFormLayout* layout)
{
    auto* box = new QCheckBox(title);
    box->setObjectName(KOVA_LayerInspector::name(key));
    QFont bold = box->font();
    bold.setBold(true);
    box->setFont(bold);
    box->setFixedHeight(switchHeight);
    bindFlag(mirror, key, box);
    layout->setContentsMargins(6, 0, 6, 6);
    layout->addRow(box);
    return box;
}

// Font, size, colour, opacity and alignment, shared by text boxes and stamps.
void addFontRows(KOVA_LayerInspector& mirror, QFormLayout* layout)
{
    // Font names run long: the field is as wide as its row, not as its longest name.
    QComboBox* font = choices(mirror, Key::fontName, KOVA_LayerInspector::availableFonts(), true);
    font->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    font->setMinimumContentsLength(fontFieldLetters);
    layout->addRow(QStringLiteral("Font"), font);
    auto* size = new QSpinBox;
    size->setRange(KOVA_LayerInspector::fontSizeMin, KOVA_LayerInspector::fontSizeMax);
    size->setKeyboardTracking(false);
    bindInteger(mirror, Key::fontSize, size);
    layout->addRow(QStringLiteral("Size"), size);
    layout->addRow(QStringLiteral("Color"), colorWell(mirror, Key::fontColor));
    layout->addRow(QStringLiteral("Opacity"), opacity(mirror, Key::fontOpacity));
    auto* alignment = new QComboBox;
    alignment->addItems({QStringLiteral("Left"), QStringLiteral("Center"), QStringLiteral("Right")});
    bindIndex(mirror, Key::textAlignment, alignment);
    layout->addRow(QStringLiteral("Alignment"), alignment);
    layout->addRow(action(mirror, QStringLiteral("Fit to Content"), &KOVA_LayerInspector::fitToContent));
}

QWidget* textboxView(KOVA_LayerInspector& mirror)
{
    auto* cell = new TextboxTableCellView;
    auto* rows = new QWidget;
    addFontRows(mirror, form(rows, {}));
    cell->layout()->addWidget(rows);
    bindText(mirror, Key::stringValue, cell->textField());
    return cell;
}

QWidget* stampView(KOVA_LayerInspector& mirror)
{
    auto* panel = new QWidget;
    QFormLayout* layout = form(panel, QStringLiteral("Stamp"));
    layout->addRow(QStringLiteral("Type"), choices(mirror, Key::stampType, KOVA_LayerInspector::availableStampTypes()));
    // The formats follow the stamp type.
    auto* formats = choices(mirror, Key::stampFormat, mirror.availableStampFormats());
    QObject::connect(&mirror, &KOVA_LayerInspector::valueChanged, formats, [&mirror, formats](Key key) {
        if (key != Key::stampType)
            return;
        const QSignalBlocker blocker(formats);
        formats->clear();
        formats->addItems(mirror.availableStampFormats());
        formats->setCurrentIndex(formats->findText(mirror.value(Key::stampFormat).toString()));
    });
    layout->addRow(QStringLiteral("Format"), formats);
    addFontRows(mirror, layout);
    return panel;
}

QWidget* imageView(KOVA_LayerInspector& mirror)
{
    auto* panel = new QWidget;
    QFormLayout* layout = form(panel, QStringLiteral("Image"));
    layout->addRow(QStringLiteral("Gravity"), choices(mirror, Key::gravity, KOVA_LayerInspector::availableGravity()));
    layout->addRow(action(mirror, QStringLiteral("Fill Canvas"), &KOVA_LayerInspector::fillCanvas));
    return panel;
}

QWidget* graphicView(KOVA_LayerInspector& mirror)
{
    auto* panel = new QWidget;
    QFormLayout* layout = form(panel, QStringLiteral("Graphic"));
    auto* path = new QLineEdit;
    path->setReadOnly(true);
    bindText(mirror, Key::graphicPath, path);
    auto* file = new QHBoxLayout;
    file->addWidget(path);
    file->addWidget(action(mirror, QStringLiteral("Choose…"), &KOVA_LayerInspector::chooseFile));
    layout->addRow(QStringLiteral("File"), file);
    layout->addRow(QStringLiteral("Gravity"), choices(mirror, Key::gravity, KOVA_LayerInspector::availableGravity()));
    layout->addRow(action(mirror, QStringLiteral("Fit to Content"), &KOVA_LayerInspector::fitToContent));
    return panel;
}

QWidget* emptyView(KOVA_LayerInspector&)
{
    auto* panel = new QWidget;
    form(panel, {})->addRow(new QLabel(QStringLiteral("No Selection")));
    return panel;
}

QWidget* backgroundView(KOVA_LayerInspector& mirror)
{
    auto* panel = new QWidget;
    QFormLayout* layout = form(panel, {});
    enableSwitch(mirror, Key::backgroundEnabled, QStringLiteral("Background"), layout);
    layout->addRow(QStringLiteral("Color"), colorWell(mirror, Key::backgroundColor));
    layout->addRow(QStringLiteral("Opacity"), opacity(mirror, Key::backgroundOpacity));
    return panel;
}

QWidget* shadowView(KOVA_LayerInspector& mirror)
{
    auto* panel = new QWidget;
    QFormLayout* layout = form(panel, {});
    enableSwitch(mirror, Key::shadowEnabled, QStringLiteral("Shadow"), layout);
    layout->addRow(QStringLiteral("Color"), colorWell(mirror, Key::shadowColor));
    layout->addRow(QStringLiteral("Opacity"), opacity(mirror, Key::shadowOpacity));
    layout->addRow(QStringLiteral("Blur"), number(mirror, Key::shadowBlur, 1));
    layout->addRow(QStringLiteral("Offset X"), number(mirror, Key::shadowOffsetX, 1));
    layout->addRow(QStringLiteral("Offset Y"), number(mirror, Key::shadowOffsetY, 1));
    return panel;
}

QWidget* borderView(KOVA_LayerInspector& mirror)
{
    auto* panel = new QWidget;
    QFormLayout* layout = form(panel, {});
    enableSwitch(mirror, Key::borderEnabled, QStringLiteral("Border"), layout);
    layout->addRow(QStringLiteral("Color"), colorWell(mirror, Key::borderColor));
    layout->addRow(QStringLiteral("Opacity"), opacity(mirror, Key::borderOpacity));
    layout->addRow(QStringLiteral("Width"),
                   number(mirror, Key::borderWidth, 1, QStringLiteral("stepperBorderWidth")));
    auto* clips = new QCheckBox(QStringLiteral("Clips Content"));
    bindFlag(mirror, Key::borderClipsContent, clips);
    layout->addRow(clips);
    return panel;
}

QWidget* layoutView(KOVA_LayerInspector& mirror)
{
    auto* panel = new QWidget;
    QFormLayout* layout = form(panel, QStringLiteral("Layout"));
    layout->addRow(QStringLiteral("X"), number(mirror, Key::frameX, 1, QStringLiteral("stepperFrameX")));
    layout->addRow(QStringLiteral("Y"), number(mirror, Key::frameY, 1, QStringLiteral("stepperFrameY")));
    layout->addRow(QStringLiteral("Width"), number(mirror, Key::frameWidth, 1, QStringLiteral("stepperFrameWidth")));
    layout->addRow(QStringLiteral("Height"), number(mirror, Key::frameHeight, 1, QStringLiteral("stepperFrameHeight")));
    layout->addRow(QStringLiteral("Rotation"), number(mirror, Key::frameRotation, 1));
    auto* centre = new QHBoxLayout;
    centre->addWidget(action(mirror, QStringLiteral("Center H"), &KOVA_LayerInspector::centerHorizontally));
    centre->addWidget(action(mirror, QStringLiteral("Center V"), &KOVA_LayerInspector::centerVertically));
    layout->addRow(centre);
    auto* size = new QHBoxLayout;
    size->addWidget(action(mirror, QStringLiteral("Fill Canvas"), &KOVA_LayerInspector::fillCanvas));
    size->addWidget(action(mirror, QStringLiteral("Fit to Content"), &KOVA_LayerInspector::fitToContent));
    layout->addRow(size);
    return panel;
}

QWidget* canvasView(KOVA_LayerInspector& mirror)
{
    auto* panel = new QWidget;
    QFormLayout* layout = form(panel, QStringLiteral("Canvas"));
    layout->addRow(QStringLiteral("Width"), number(mirror, Key::canvasWidth, 1));
    layout->addRow(QStringLiteral("Height"), number(mirror, Key::canvasHeight, 1));
    return panel;
}

} // namespace

QStringList panelsDefault()
{
    return {textbox, background, shadow, border, layout, canvas};
}

QStringList panelsAll()
{
    return panelsDefault() + QStringList{image, graphic, stamp, empty};
}

QString identifierForLayer(const KOVA_Template* layer)
{
    if (!layer)
        return empty;
    switch (layer->layerType()) {
    case KOVA_Template::layerTypeTextbox: return textbox;
    case KOVA_Template::layerTypeImage: return image;
    case KOVA_Template::layerTypeGraphic: return graphic;
    case KOVA_Template::layerTypeStamp: return stamp;
    default: return empty;
    }
}

QWidget* makeView(const QString& identifier, KOVA_LayerInspector& mirror)
{
    using Make = QWidget* (*)(KOVA_LayerInspector&);
    static const QHash<QString, Make> makers = {
        {textbox, textboxView}, {image, imageView},   {graphic, graphicView}, {stamp, stampView},
        {empty, emptyView},     {background, backgroundView}, {shadow, shadowView}, {border, borderView},
        {layout, layoutView},   {canvas, canvasView},
    };
    const Make make = makers.value(identifier);
    if (!make)
        return nullptr;
    QWidget* view = make(mirror);
    view->setObjectName(identifier);
    return view;
}

} // namespace InspectorPanels
