#include "editor/inspector/TextboxTableCellView.h"

#include "core/queues/ZORVAK_Coalesce.h"
#include "editor/inspector/InspectorTextField.h"

#include <QFontMetricsF>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace {

const QString heightNoticeKey = QStringLiteral("heightTextField");

} // namespace

TextboxTableCellView::TextboxTableCellView(QWidget* parent)
    : QWidget(parent)
    , m_textField(new InspectorTextField(this))
{
    m_textField->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_textField->setWordWrapMode(QTextOption::WordWrap);
    m_textField->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_textField->setFixedHeight(static_cast<int>(defaultHeightTextField()));
    m_height = defaultHeightTextField();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(m_textField);
    connect(m_textField, &QPlainTextEdit::textChanged, this, &TextboxTableCellView::heightTextField);
}

TextboxTableCellView::~TextboxTableCellView() = default;

double TextboxTableCellView::height() const
{
    // The field is as high as its text in whole pixels.
    return m_heightDefault + std::ceil(m_height) - defaultHeightTextField();
}

double TextboxTableCellView::heightTextField()
{
    double measured = defaultHeightTextField();
    if (const QString text = m_textField->toPlainText(); !text.isEmpty()) {
        const QRectF room(0, 0, std::max(1.0, m_textField->width() - 10.0), std::numeric_limits<int>::max());
        measured = QFontMetricsF(m_textField->font()).boundingRect(room, Qt::TextWordWrap, text).height() + 5.0;
    }
    if (measured != m_height) {
        m_height = measured;
        m_textField->setFixedHeight(static_cast<int>(std::ceil(measured)));
        ZORVAK_Coalesce::runOnceForKeyAfterWaiting(heightNoticeKey, ZORVAK_Dispatch::Queue(), heightNoticeWait,
                                                   [cell = QPointer(this)] {
                                                       if (cell)
                                                           emit cell->heightChanged();
                                                   });
    }
    return measured;
}

double TextboxTableCellView::defaultHeightTextField()
{
    static const double height = [] {
        QLineEdit field(QStringLiteral("hi"));
        field.setAttribute(Qt::WA_MacSmallSize);
        QFont small = field.font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        field.setFont(small);
        return static_cast<double>(field.sizeHint().height());
    }();
    return height;
}

void TextboxTableCellView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    heightTextField();
}
