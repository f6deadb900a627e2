#include "app/StartPanel.h"

#include <QAction>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const QColor background = QColor::fromRgbF(0.85f, 0.85f, 0.85f, 0.95f);
constexpr qreal cornerRadius = 12;
} // namespace

StartPanel::StartPanel(const QList<QAction*>& sharedActions, std::function<void()> startSitting, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("panelSimpleStart"));
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("KOVA-XML"));
    addActions(sharedActions);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    auto* title = new QLabel(QStringLiteral("<b>KOVA-XML</b>"), this);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    for (QAction* action : sharedActions) {
        if (action->isSeparator())
            continue;
        auto* button = new QToolButton(this);
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        layout->addWidget(button);
    }
    auto* sit = new QPushButton(tr("Start"), this);
    sit->setObjectName(QStringLiteral("startSitting"));
    sit->setDefault(true);
    connect(sit, &QPushButton::clicked, this, [startSitting = std::move(startSitting)] { startSitting(); });
    layout->addWidget(sit);
    setFixedSize(sizeHint().expandedTo(QSize(320, 0)));
}

void StartPanel::present()
{
    if (const QScreen* screen = this->screen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
    activateWindow();
}

void StartPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(rect(), cornerRadius, cornerRadius);
}
