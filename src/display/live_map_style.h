// Colours of the live map, chosen so the aircraft's own colours (dark, from their
// addresses) stand out on both sea and land.
#pragma once

#include <QColor>

namespace ternwick {

inline const QColor kSeaColour(170, 206, 232);
inline const QColor kSpaceColour(40, 44, 52);
inline const QColor kLandColour(242, 239, 228);
inline const QColor kCoastColour(96, 124, 150);
inline const QColor kBorderColour(150, 130, 150);
inline const QColor kGraticuleColour(110, 130, 150, 90);
inline const QColor kGraticuleText(60, 70, 90);
inline const QColor kRingColour(90, 90, 90, 160);
inline const QColor kRingText(50, 50, 50);
inline const QColor kReceiverColour(200, 30, 30);
inline const QColor kEmergencyColour(220, 0, 0);
inline const QColor kSelectColour(255, 170, 0);
// The receiver's coverage, magenta as on the catalogue map, faintly filled.
inline const QColor kCoverageColour(255, 0, 255);
inline const QColor kCoverageFill(255, 0, 255, 18);

}  // namespace ternwick
