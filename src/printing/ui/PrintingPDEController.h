#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QWidget>

#include <memory>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class ZORVAK_PrintSettings;

// The print dialog's accessory (given to QPrintDialog::setOptionTabs): how the
// image is scaled on the page and the scale and text of the codes printed over
// it. The values live in the print settings the print view reads; every change
// is also kept in the user preferences as the next print's defaults.
class PrintingPDEController : public QWidget {
    Q_OBJECT
public:
    static inline const QString defaultBarcodeMessage = QStringLiteral("Morvanta_123");
    static inline const QString summaryItem = QStringLiteral("Image Scaling");

    explicit PrintingPDEController(QWidget* parent = nullptr);
    ~PrintingPDEController() override;

    // Takes the settings the dialog edits, fills them from the preferences and
    // from then on writes their changes back to the preferences.
    void setRepresentedObject(std::shared_ptr<ZORVAK_PrintSettings> settings);

    // The values whose change makes the dialog redraw its preview.
    static QStringList keyPathsForValuesAffectingPreview();
    // The dialog's summary: one item, named and described "Image Scaling".
    static QVariantList localizedSummaryItems();

    qint64 imageScaling() const;
    void setImageScaling(qint64 scaling);
    double barcodeScaling() const;
    void setBarcodeScaling(double scaling);
    QString barcodeScalingString() const;
    // The text always follows the scale: setting it only announces it again.
    void setBarcodeScalingString(const QString&);
    QString barcodeMessage() const;
    void setBarcodeMessage(const QString& message);
    QString contentsGravity() const { return m_contentsGravity; }

signals:
    void barcodeScalingStringChanged();

private:
    void stopObserving();
    void settingChanged(const QString& key);
    void showValues();

    std::shared_ptr<ZORVAK_PrintSettings> m_settings;
    int m_observation = 0;
    QString m_contentsGravity;
    QComboBox* m_scalingChoice;
    QDoubleSpinBox* m_scaleField;
    QLabel* m_scaleText;
    QLineEdit* m_messageField;
};
