#pragma once

#include "printing/pages/ZORVAK_PrintPage.h"

// The print page for DNP dye-sublimation printers: the base page with the DNP media code, the
// multicut (print layout), overcoat, quality and cut mode, and the sheet-fed and back-side
// overcoat flags. All start at 0 or off.
class ZORVAK_PrintPage_DNP : public ZORVAK_PrintPage {
public:
    static inline const QString ClassName = QStringLiteral("ZORVAK_PrintPage_DNP");

    ZORVAK_PrintPage_DNP() = default;

    // A page imported from the ticket: the model of its printer index, and, its media not being
    // known yet, the reason "Unsupported Printer/Media". Null for anything but a dictionary.
    static std::shared_ptr<ZORVAK_PrintPage_DNP> initWithOLDKOVA(const QVariant& ticket);

    std::shared_ptr<ZORVAK_PrintPage> copyWithZone() const override;
    // Stores the paper name, selects its multicut and that multicut's media, and clears the
    // reason.
    void configureNamedPaper(const QString& paperName) override;

    qint32 mediaSize() const { return m_mediaSize; }
    void setMediaSize(qint32 mediaSize) { m_mediaSize = mediaSize; }
    qint32 multicut() const { return m_multicut; }
    void setMulticut(qint32 multicut) { m_multicut = multicut; imagePreviewInputsChanged(); }
    qint32 overcoat() const { return m_overcoat; }
    void setOvercoat(qint32 overcoat) { m_overcoat = overcoat; }
    qint32 quality() const { return m_quality; }
    void setQuality(qint32 quality) { m_quality = quality; imagePreviewInputsChanged(); }
    qint32 cutMode() const { return m_cutMode; }
    void setCutMode(qint32 cutMode) { m_cutMode = cutMode; }
    bool sheetFed() const { return m_sheetFed; }
    void setSheetFed(bool sheetFed) { m_sheetFed = sheetFed; }
    bool overcoatBackside() const { return m_overcoatBackside; }
    void setOvercoatBackside(bool backside) { m_overcoatBackside = backside; }

    // The page's raster as the yellow, magenta and cyan planes the printer takes, with three
    // blank back-side planes after them when the page is duplex or overcoated on the back;
    // none (logged) when the page gives no raster.
    QList<QByteArray> YMCDataPlanes() const;

    QStringList archiveClassHierarchy() const override;
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::shared_ptr<platform::Archivable> initWithCoder(platform::KeyedUnarchiver& coder);

protected:
    explicit ZORVAK_PrintPage_DNP(Uninitialised);
    bool importOLDKOVA(const QVariant& ticket) override;
    std::shared_ptr<ZORVAK_PrintPage> newPage() const override;

private:
    qint32 m_mediaSize = 0;
    qint32 m_multicut = 0;
    qint32 m_overcoat = 0;
    qint32 m_quality = 0;
    qint32 m_cutMode = 0;
    std::atomic<bool> m_sheetFed = false;
    std::atomic<bool> m_overcoatBackside = false;
};
