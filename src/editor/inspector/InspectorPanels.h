#pragma once

#include "editor/inspector/KOVA_LayerInspector.h"

#include <QString>
#include <QStringList>

class QWidget;

// The inspector's panels, made in code by identifier, each control bound to the mirror.
namespace InspectorPanels {

inline const QString textbox = QStringLiteral("textbox");
inline const QString image = QStringLiteral("image");
inline const QString graphic = QStringLiteral("graphic");
inline const QString stamp = QStringLiteral("stamp");
inline const QString empty = QStringLiteral("empty");
inline const QString background = QStringLiteral("background");
inline const QString shadow = QStringLiteral("shadow");
inline const QString border = QStringLiteral("border");
inline const QString layout = QStringLiteral("layout");
inline const QString canvas = QStringLiteral("canvas");

// A panel's enable switch is this high: a switched-off panel is a row of this height.
inline constexpr int switchHeight = 18;

// "textbox", "background", "shadow", "border", "layout", "canvas".
QStringList panelsDefault();
// Every panel, those the first row takes for other layer types too.
QStringList panelsAll();
// The first panel for a layer of the type ("empty" for other types and for no layer).
QString identifierForLayer(const KOVA_Template* layer);
// The panel's view, or none for an unknown identifier. The text panel's view is a
// TextboxTableCellView.
QWidget* makeView(const QString& identifier, KOVA_LayerInspector& mirror);

} // namespace InspectorPanels
