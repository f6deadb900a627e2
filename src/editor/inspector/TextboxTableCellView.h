#pragma once

#include <QWidget>

class InspectorTextField;

// The text panel (its text field first in a vertical layout that the panel fills with
// its other controls): grows and shrinks with the text it holds. Every change of the text
// measures it again; a height that changed is told (heightChanged) once, 0.2 seconds
// after the last of a burst of changes.
class TextboxTableCellView : public QWidget {
    Q_OBJECT
public:
    static constexpr double heightNoticeWait = 0.2;

    explicit TextboxTableCellView(QWidget* parent = nullptr);
    ~TextboxTableCellView() override;

    InspectorTextField* textField() const { return m_textField; }
    // The cell's height as designed (set by its panel once it is laid out).
    double heightDefault() const { return m_heightDefault; }
    void setHeightDefault(double heightDefault) { m_heightDefault = heightDefault; }
    // The row height the cell wants: its designed height, grown or shrunk by as much as
    // its text is higher or lower than a one-line field.
    double height() const;
    // Measures the text and answers its height: a one-line field's height for no text,
    // else the wrapped text's height within the field's width (less 10) plus 5. The
    // field takes that height.
    double heightTextField();
    // The height of a one-line small text field, measured once per run.
    static double defaultHeightTextField();

signals:
    void heightChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    InspectorTextField* m_textField;
    double m_heightDefault = 0;
    double m_height = 0;
};
