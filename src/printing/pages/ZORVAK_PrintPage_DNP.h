#pragma once

#include "printing/dnp/DNPMediaTables.h"
#include "printing/pages/ZORVAK_PrintPage.h"

#include <QSet>

#include <optional>

// The print page for DNP dye-sublimation printers: the base page with the DNP media code, the
// multicut (print layout), overcoat, quality and cut mode, and the sheet-fed and back-side
// overcoat flags. All start at 0 or off. Its size is the multicut's, at 300 dpi, with the
// height doubled in high resolution (quality 10 or 30). The settings are atomic: previews read
// them on another queue.
class ZORVAK_PrintPage_DNP : public ZORVAK_PrintPage {
public:
    static inline const QString ClassName = QStringLiteral("ZORVAK_PrintPage_DNP");

    ZORVAK_PrintPage_DNP() = default;

    // A page imported from an old ticket (a dictionary or a ticket file's URL): the base's
    // import, then the model, media, multicut, cut mode, overcoat and quality of the ticket's
    // printer settings; media the printer does not take leave the reason
    // "Unsupported Printer/Media". Null when the base refuses the ticket or it holds no
    // dictionary.
    static std::shared_ptr<ZORVAK_PrintPage_DNP> initWithOLDKOVA(const QVariant& ticket);

    std::shared_ptr<ZORVAK_PrintPage> copyWithZone() const override;
    // Stores the paper name, selects its multicut and that multicut's media, and clears the
    // reason.
    void configureNamedPaper(const QString& paperName) override;

    // Quality 10 or 30.
    bool hiRes() const;
    // The multicut's pixel size (the hi-res one in high resolution); zero without a multicut.
    QSizeF outputSize() const override;
    // 300 dpi across, 600 along in high resolution, else 300.
    QSizeF outputResolution() const override;
    // The print head the raster is laid on: 1920 pixels for pages narrower than that, else 2560.
    quint32 headWidth() const;

    // "<model> <paper>, <quality>, <overcoat>\n( <media> media )".
    QString description() const override;
    QString mediaName() const override;
    // The stored reason, else "No <model> with <media> media".
    QString reason() const override;

    // The page offers no multicuts to choose from: no modes, no paper names, position 0.
    std::optional<DNPIndexSet> availableMulticutModes() const { return std::nullopt; }
    QStringList paperNames() const;
    quint64 selectedPaperIndex() const;
    void setSelectedPaperIndex(quint64 index);
    static QSet<QString> keyPathsForValuesAffectingSelectedPaperIndex();

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

    // One input image on a multicut: the base's picture; any other number: the images laid out
    // by the multicut's frames. Without a multicut only previews are made.
    ZORVAK_PageImage imagePreProcessWithOptions(const QVariantMap& options) const override;
    // A white sheet of the output size with frame i of the multicut showing input image i (the
    // last image past the end of the list) filtered by chain i (none past the end). Frames past
    // the sheet are clipped and logged; a frame whose image gives nothing stays white, logged.
    // A null picture without a multicut.
    ZORVAK_PageImage imagePreProcessMultiWithOptions(const QVariantMap& options) const;
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
    std::atomic<qint32> m_mediaSize = 0;
    std::atomic<qint32> m_multicut = 0;
    std::atomic<qint32> m_overcoat = 0;
    std::atomic<qint32> m_quality = 0;
    std::atomic<qint32> m_cutMode = 0;
    std::atomic<bool> m_sheetFed = false;
    std::atomic<bool> m_overcoatBackside = false;
};
