#pragma once

#include <QSet>
#include <QString>
#include <QtGlobal>

#include <iterator>
#include <limits>
#include <optional>
#include <utility>

// How a printer page offers its multicut modes for selection by position: the modes in
// ascending order of code, as an interface's list of paper names shows them.
namespace PaperSelection {

// The position answered for a multicut that is not among the modes.
constexpr quint64 NotFound = quint64(std::numeric_limits<qint64>::max());

// The position of `multicut` among `modes`; 0 when there are no modes.
template <class Modes, class Code>
quint64 indexOf(const std::optional<Modes>& modes, Code multicut)
{
    if (!modes)
        return 0;
    quint64 position = 0;
    for (const auto mode : *modes) {
        if (std::cmp_equal(mode, multicut))
            return position;
        ++position;
    }
    return NotFound;
}

// The mode at `index`; none past the end or when there are no modes.
template <class Modes>
std::optional<quint64> modeAt(const std::optional<Modes>& modes, quint64 index)
{
    if (!modes || index >= quint64(modes->size()))
        return std::nullopt;
    return quint64(*std::next(modes->begin(), qint64(index)));
}

// The keys whose change changes the selected position.
inline QSet<QString> keyPathsForValuesAffectingSelectedPaperIndex()
{
    return {QStringLiteral("multicut")};
}

} // namespace PaperSelection
