#pragma once

#include <QStringList>
#include <QtGlobal>

#include <vector>

// The frames of the separate prints that share one DNP sheet, as rectangle texts
// "{{x, y}, {w, h}}" in pixels of the sheet raster with the origin at the lower left.
// High resolution doubles heights, gaps and y, never widths or x.

// The frames of `multicut`, bottom frame first; a code without parts gives one frame of its
// own size (zero for codes the printers do not define).
QStringList dnp_framesForMulticut(qint64 multicut, bool hiRes);
// The parts `multicuts` stacked bottom first at the left edge, `gap` apart; a negative gap
// makes neighbours overlap.
QStringList framesForMuticutsAndGap(const std::vector<qint64>& multicuts, bool hiRes, double gap);
// The seven frames of multicut 95.
QStringList framesForCustom2(bool hiRes);
// The six frames of a further fixed layout.
QStringList framesForCustom1(bool hiRes);
// The sizes "{w, h}" of the strips of a sheet from the top down, the gaps between parts
// included.
QStringList dnp_sizesForMulticut(qint64 multicut, bool hiRes);
