#pragma once

#include "printing/pages/ZORVAK_PrintPage.h"

#include <QSet>

#include <optional>
#include <set>

// The Mitsubishi printers' cut codes (print layouts) and media codes. A paper name is judged
// by its text after the last "Cut" for the cut layout, and by a "Media..." mark anywhere in it
// for the media. The cut codes are the printers' own values, not bits.

// A set of cut codes, ascending.
using MitsuIndexSet = std::set<quint64>;

// The cut code whose paper-name ending the name has ("6x8" 512, "4x6" or "6x4" 128, ...);
// 0 when none matches.
quint64 mitsu_multicutForNamedPaperSize(const QString& paperName);
// The media code of the first media mark the name contains; 15 (6 x 8) without one.
quint8 mitsu_mediaCodeForPaperName(const QString& paperName);
// The print name of a cut code such as "6 x 4 (x2)"; none for 1024 and codes not in the table.
QString mitsu_printNameForMulticut(quint64 multicut);
// The name of a media code such as "6 x 8"; none for codes not in the table.
QString mitsu_mediaNameForCode(quint8 media);
// The print names of the codes in ascending order; codes without a name add nothing.
QStringList mitsu_paperNamesForMulticutModes(const MitsuIndexSet& multicuts);

// The print page for the Mitsubishi printers CP-D70DW, CP-D80DW and CP-D90DW: the base page with
// the printer's media code, cut code (multicut), overcoat (0 glossy, 2 matte) and quality
// (0 fine, 3 super fine, 4 ultra fine). All start at 0. Its pixel size follows the cut and the
// printer index (the CP-D90DW, index 57, has sizes of its own); the resolution is 300 dpi.
// The settings are atomic: previews read them on another queue.
class ZORVAK_PrintPageMitsu1 : public ZORVAK_PrintPage {
public:
    static inline const QString ClassName = QStringLiteral("ZORVAK_PrintPageMitsu1");

    ZORVAK_PrintPageMitsu1() = default;

    // A page imported from an old ticket (a dictionary or a ticket file's URL): the base's
    // import, then the model, media, cut, overcoat and quality of the ticket's printer settings;
    // media the printer does not take leave the reason "Unsupported Printer/Media". Null when the
    // base refuses the ticket or it holds no dictionary.
    static std::shared_ptr<ZORVAK_PrintPageMitsu1> initWithOLDKOVA(const QVariant& ticket);

    // The base's copy with the four settings; the job id is not copied.
    std::shared_ptr<ZORVAK_PrintPage> copyWithZone() const override;
    // Selects the cut and media of the paper name and clears the reason; the name itself is
    // not stored.
    void configureNamedPaper(const QString& paperName) override;

    quint8 mediaSize() const { return m_mediaSize; }
    void setMediaSize(quint8 mediaSize) { m_mediaSize = mediaSize; }
    quint64 multicut() const { return m_multicut; }
    void setMulticut(quint64 multicut) { m_multicut = multicut; imagePreviewInputsChanged(); }
    quint8 overcoat() const { return m_overcoat; }
    void setOvercoat(quint8 overcoat) { m_overcoat = overcoat; }
    quint8 quality() const { return m_quality; }
    void setQuality(quint8 quality) { m_quality = quality; imagePreviewInputsChanged(); }
    // Kept in memory only; nothing here sets it.
    quint16 jobID() const { return m_jobID; }
    void setJobID(quint16 jobID) { m_jobID = jobID; }
    // Nothing fills these; they are always empty.
    QList<QByteArray> YMCDataPlanes() const { return {}; }
    QByteArray YMCData() const { return {}; }
    QList<QByteArray> panoramaData() const { return {}; }

    // 300 by 300 dpi whatever the cut.
    QSizeF outputResolution() const override;
    // (pixelsWide, pixelsHigh).
    QSizeF outputSize() const override;
    // The cut table's width and height for the page's cut and printer index.
    quint64 pixelsWide() const override;
    quint64 pixelsHigh() const override;
    // The cut table's height of `multicut` for the page's printer index; 0 for other codes.
    quint32 pixelsHighForMulticut(quint64 multicut) const;

    // "<model> <cut>, <quality>, <overcoat>\n( <media> media )".
    QString description() const override;
    QString mediaName() const override;
    // The stored reason, else "No <model> with <media> media".
    QString reason() const override;

    // The page offers no cut layouts to choose from: no modes, no paper names, position 0.
    std::optional<MitsuIndexSet> availableMulticutModes() const { return std::nullopt; }
    QStringList paperNames() const;
    quint64 selectedPaperIndex() const;
    void setSelectedPaperIndex(quint64 index);
    static QSet<QString> keyPathsForValuesAffectingSelectedPaperIndex();

    // Every Mitsubishi page renders into the printer's profile, the resource "CPD70_SF.icc",
    // whatever its colour management says; sRGB (logged once) when the resource is missing.
    std::shared_ptr<const ZORVAK_ColorSpace> outputColorSpace() const override;
    // 16-bit pictures and rasters.
    QImage::Format rasterContextFormatWorking() const override;
    QImage::Format rasterContextFormatOutput() const override;

    QStringList archiveClassHierarchy() const override;
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // Reads the base's keys and the four settings, keeping the low 8 bits of media, overcoat
    // and quality.
    static std::shared_ptr<platform::Archivable> initWithCoder(platform::KeyedUnarchiver& coder);

protected:
    explicit ZORVAK_PrintPageMitsu1(Uninitialised);
    bool importOLDKOVA(const QVariant& ticket) override;
    std::shared_ptr<ZORVAK_PrintPage> newPage() const override;

private:
    std::atomic<quint8> m_mediaSize = 0;
    std::atomic<quint64> m_multicut = 0;
    std::atomic<quint8> m_overcoat = 0;
    std::atomic<quint8> m_quality = 0;
    std::atomic<quint16> m_jobID = 0;
};
