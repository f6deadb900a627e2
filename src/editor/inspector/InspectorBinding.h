#pragma once

#include "editor/inspector/KOVA_LayerInspector.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class InspectorTextField;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Ties a control to one mirrored value of the inspector, both ways: the control shows
// the value now and whenever it changes (with the control's own signals blocked, so a
// shown value is never sent back), and a change made in the control is the mirror's
// edit. Connections end with the control or the mirror.
namespace InspectorBinding {

using Key = KOVA_LayerInspector::Key;

void bindNumber(KOVA_LayerInspector& mirror, Key key, QDoubleSpinBox* field);
void bindInteger(KOVA_LayerInspector& mirror, Key key, QSpinBox* field);
void bindFlag(KOVA_LayerInspector& mirror, Key key, QCheckBox* box);
// The text of the chosen entry (an editable box also takes typed text).
void bindText(KOVA_LayerInspector& mirror, Key key, QComboBox* box);
// The index of the chosen entry.
void bindIndex(KOVA_LayerInspector& mirror, Key key, QComboBox* box);
void bindText(KOVA_LayerInspector& mirror, Key key, QLineEdit* field);
// The text typed is one edit once the field ends it, or once the mirror asks for
// edits going on to be committed.
void bindText(KOVA_LayerInspector& mirror, Key key, InspectorTextField* field);
// A swatch of the colour; a click opens a colour dialog whose choice is the edit.
void bindColor(KOVA_LayerInspector& mirror, Key key, QPushButton* well);

// A button that runs one of the mirror's actions.
void bindAction(KOVA_LayerInspector& mirror, void (KOVA_LayerInspector::*action)(), QAbstractButton* button);

} // namespace InspectorBinding
