#include "printing/ui/PrintingPDEController.h"

#include "platform/defaults/UserDefaults.h"
#include "printing/ui/ZORVAK_PrintSettings.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

namespace {

const QString contentsGravityKey = QStringLiteral("contentsGravity");

std::shared_ptr<platform::UserDefaults> preferences()
{
    return platform::UserDefaults::standardUserDefaults();
}

} // namespace

PrintingPDEController::PrintingPDEController(QWidget* parent)
    : QWidget(parent)
    , m_scalingChoice(new QComboBox(this))
    , m_scaleField(new QDoubleSpinBox(this))
    , m_scaleText(new QLabel(this))
    , m_messageField(new QLineEdit(this))
{
    setWindowTitle(summaryItem);
    m_scalingChoice->addItem(tr("Fill"), 0);
    m_scalingChoice->addItem(tr("Fit inside"), 1);
    m_scalingChoice->addItem(tr("Stretch"), 2);
    m_scalingChoice->addItem(tr("By resolution"), 3);
    m_scaleField->setRange(0, 100);
    m_scaleField->setDecimals(2);
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Image scaling:"), m_scalingChoice);
    layout->addRow(tr("Code scale:"), m_scaleField);
    layout->addRow(QString(), m_scaleText);
    layout->addRow(tr("Code message:"), m_messageField);
    connect(m_scalingChoice, &QComboBox::activated, this,
            [this](int index) { setImageScaling(m_scalingChoice->itemData(index).toLongLong()); });
    connect(m_scaleField, &QDoubleSpinBox::valueChanged, this, &PrintingPDEController::setBarcodeScaling);
    connect(m_messageField, &QLineEdit::textEdited, this, &PrintingPDEController::setBarcodeMessage);
    connect(this, &PrintingPDEController::barcodeScalingStringChanged, this, &PrintingPDEController::showValues);
}

PrintingPDEController::~PrintingPDEController()
{
    stopObserving();
}

void PrintingPDEController::stopObserving()
{
    if (m_settings && m_observation)
        m_settings->removeObserver(m_observation);
    m_observation = 0;
}

void PrintingPDEController::setRepresentedObject(std::shared_ptr<ZORVAK_PrintSettings> settings)
{
    // One observation at a time: a new settings object replaces the old one's.
    stopObserving();
    m_settings = std::move(settings);
    const auto defaults = preferences();
    setImageScaling(defaults->integerForKey(zorvak_imageScaling));
    setBarcodeScaling(defaults->doubleForKey(zorvak_barcodeScaling));
    const QVariant message = defaults->objectForKey(zorvak_barcodeMessage);
    setBarcodeMessage(message.isValid() ? message.toString() : defaultBarcodeMessage);
    setBarcodeScalingString(QString());
    m_contentsGravity = defaults->stringForKey(contentsGravityKey);
    if (m_settings)
        m_observation = m_settings->addObserver([this](const QString& key) { settingChanged(key); });
}

void PrintingPDEController::settingChanged(const QString& key)
{
    const auto defaults = preferences();
    if (key == zorvak_imageScaling) {
        defaults->setInteger(imageScaling(), key);
    } else if (key == zorvak_barcodeScaling) {
        defaults->setDouble(barcodeScaling(), key);
        emit barcodeScalingStringChanged();
    } else if (key == zorvak_barcodeMessage) {
        defaults->setObject(barcodeMessage(), key);
    }
}

void PrintingPDEController::showValues()
{
    const QSignalBlocker blockScale(m_scaleField);
    m_scalingChoice->setCurrentIndex(m_scalingChoice->findData(imageScaling()));
    m_scaleField->setValue(barcodeScaling());
    m_scaleText->setText(barcodeScalingString());
    if (m_messageField->text() != barcodeMessage())
        m_messageField->setText(barcodeMessage());
}

QStringList PrintingPDEController::keyPathsForValuesAffectingPreview()
{
    return {zorvak_imageScaling, zorvak_barcodeScaling, zorvak_barcodeMessage};
}

QVariantList PrintingPDEController::localizedSummaryItems()
{
    return {QVariantMap{{QStringLiteral("name"), summaryItem}, {QStringLiteral("description"), summaryItem}}};
}

qint64 PrintingPDEController::imageScaling() const
{
    return m_settings ? m_settings->value(zorvak_imageScaling).toLongLong() : 0;
}

void PrintingPDEController::setImageScaling(qint64 scaling)
{
    if (m_settings)
        m_settings->setValue(zorvak_imageScaling, scaling);
}

double PrintingPDEController::barcodeScaling() const
{
    return m_settings ? m_settings->value(zorvak_barcodeScaling).toDouble() : 0.0;
}

void PrintingPDEController::setBarcodeScaling(double scaling)
{
    if (m_settings)
        m_settings->setValue(zorvak_barcodeScaling, scaling);
}

QString PrintingPDEController::barcodeScalingString() const
{
    return QString::asprintf("%.2f", barcodeScaling());
}

void PrintingPDEController::setBarcodeScalingString(const QString&)
{
    emit barcodeScalingStringChanged();
}

QString PrintingPDEController::barcodeMessage() const
{
    return m_settings ? m_settings->value(zorvak_barcodeMessage).toString() : QString();
}

void PrintingPDEController::setBarcodeMessage(const QString& message)
{
    if (m_settings)
        m_settings->setValue(zorvak_barcodeMessage, message);
}
