#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <map>
#include <memory>
#include <mutex>

// The keys the print dialog's accessory and the print view share.
inline const QString zorvak_imageScaling = QStringLiteral("imageScaling");
inline const QString zorvak_barcodeScaling = QStringLiteral("barcodeScaling");
inline const QString zorvak_barcodeMessage = QStringLiteral("barcodeMessage");
inline const QString zorvak_barcodeObject = QStringLiteral("barcodeObject");

// Print settings: one map of values for a printer, shared by the print dialog's
// accessory, which edits them, and the print view, which reads them while
// drawing. Observers hear every change with the key that changed.
class ZORVAK_PrintSettings {
public:
    using Observer = std::function<void(const QString& key)>;

    // The process's settings: what one print sets stays set for the next.
    static std::shared_ptr<ZORVAK_PrintSettings> shared();

    QVariant value(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    QVariantMap dictionary() const;

    int addObserver(Observer observer);
    void removeObserver(int token);

private:
    mutable std::mutex m_mutex;
    QVariantMap m_values;
    std::map<int, Observer> m_observers;
    int m_nextToken = 1;
};
