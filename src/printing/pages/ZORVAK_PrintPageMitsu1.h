#pragma once

#include "printing/pages/ZORVAK_PrintPage.h"

// The Mitsubishi printers' paper names. A name is judged by its text after the last "Cut" for
// the cut layout, and by a "Media..." mark anywhere in it for the media.

// The cut code whose paper-name ending the name has ("6x8" 512, "4x6" or "6x4" 128, ...);
// 0 when none matches.
quint64 mitsu_multicutForNamedPaperSize(const QString& paperName);
// The media code of the first media mark the name contains; 15 (6 x 8) without one.
quint8 mitsu_mediaCodeForPaperName(const QString& paperName);

// The print page for the Mitsubishi printers CP-D70DW, CP-D80DW and CP-D90DW: the base page with
// the printer's media code, cut code (multicut), overcoat and quality. All start at 0.
class ZORVAK_PrintPageMitsu1 : public ZORVAK_PrintPage {
public:
    static inline const QString ClassName = QStringLiteral("ZORVAK_PrintPageMitsu1");

    ZORVAK_PrintPageMitsu1() = default;

    // A page imported from the ticket: the model of its printer index, and, its media not being
    // known yet, the reason "Unsupported Printer/Media". Null for anything but a dictionary.
    static std::shared_ptr<ZORVAK_PrintPageMitsu1> initWithOLDKOVA(const QVariant& ticket);

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
    quint8 m_mediaSize = 0;
    quint64 m_multicut = 0;
    quint8 m_overcoat = 0;
    quint8 m_quality = 0;
};
