#pragma once

#include "platform/plist/Archivable.h"
#include "platform/xml/XmlNode.h"

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace platform {
class KeyedUnarchiver;
}

// Where one template's picture is drawn on an output: read from an output's child element whose
// name is the template's name and whose "type" is "node". The node lists the frames (rectangles
// of the output canvas, top-left origin, y down) into which the picture is drawn, so one template
// can be placed N times on a sheet, and the drawing settings for those copies: crop, fit
// gravity, shadow, background and orientation.
// Every property is read and replaced under a lock.
class KOVA_Output_node : public platform::Archivable {
public:
    static inline const QString ClassName = QStringLiteral("KOVA_Output_node");

    // Called once per frame with its index, a flag to set to stop the enumeration, and the frame
    // in the canvas's bottom-left origin.
    using FrameVisitor = std::function<void(qsizetype index, bool& stop, const QRectF& frame)>;

    // Frames farther out than this are refused: no sheet is that large, and drawing code must
    // never meet a number it cannot turn into pixels.
    static constexpr double MaximumFrameCoordinate = 1'000'000;

    // Reads a node element. Never fails: what it does not know is logged or passed over.
    explicit KOVA_Output_node(const platform::XmlNode& node);

    QString name() const;
    // Rectangle texts in the canonical form, in the order added.
    QStringList frames() const;
    // None, or an empty rectangle, stands for the whole picture.
    QString cropRectString() const;
    // The shadow offset as a size text (dx, dy), dy growing downwards.
    QString offsetPointString() const;
    // Already normalised; none means gravityDefault.
    QString gravity() const;
    static QString gravityDefault();
    // A shadow is drawn only when this is set.
    QString shadowColor() const;
    QString shadowBlur() const;
    QString backgroundColor() const;
    // The EXIF orientation applied to the picture before drawing.
    std::optional<qint64> tiffOrientation() const;

    // Appends the rectangle's canonical text. A rectangle with a number that is not finite or
    // lies beyond MaximumFrameCoordinate is logged and left out.
    void addOutputFrame(const QRectF& frame);
    // Parses the text as a rectangle (numbers missing read as 0) and adds it.
    void addOutputFrameString(const QString& frame);

    // Whether the node fills an output of `size` exactly with one unscaled copy: no frames, or
    // a single frame at (0, 0) of exactly that size.
    bool matchesOutputSize(const QSizeF& size) const;

    // The frames in the output's top-left geometry, in order; a frame of zero width or
    // height takes `nodeSize`.
    QList<QRectF> outputFrames(const QSizeF& nodeSize) const;
    // Calls `enumerateOutputFrames` once per frame, in order, until it sets its stop flag. A
    // frame of zero width or height takes `nodeSize`; each frame is turned into the canvas's
    // bottom-left origin, y := canvas height - h - y. The visitor may change the node.
    void canvasSize(const QSizeF& canvasSize, const QSizeF& nodeSize, const FrameVisitor& enumerateOutputFrames) const;

    // An element named after the node with type="node" and one "frame" child per frame; the
    // drawing settings are not written. Null (and logged) when the name is no XML name, which
    // only a foreign archive can bring.
    platform::XmlNode asXMLElement() const;

    // For the log: the name, the crop text and the frames.
    QString description() const;

    QStringList archiveClassHierarchy() const override;
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // Reads the keys encodeWithCoder wrote; null (the archive stopped with an error) when a
    // value is of the wrong kind. Frames are added again, so they keep the canonical form.
    static std::shared_ptr<platform::Archivable> initWithCoder(platform::KeyedUnarchiver& coder);

private:
    // The settings held as texts, with the archive key of each (see the table in the source).
    enum class Text { CropRect, OffsetPoint, Gravity, ShadowColor, ShadowBlur, BackgroundColor, Count };
    using Texts = std::array<QString, std::size_t(Text::Count)>;

    KOVA_Output_node() = default;
    void readAttribute(const platform::XmlNode& attribute);
    void readChild(const platform::XmlNode& child);
    void readShadowColor(const platform::XmlNode& child);
    QString text(Text which) const;
    void setText(Text which, const QString& value);

    mutable std::mutex m_mutex; // guards every field below
    QString m_name;
    QStringList m_frames;
    Texts m_texts;
    std::optional<qint64> m_tiffOrientation;
};
