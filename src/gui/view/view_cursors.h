#pragma once
// The frame view's own mouse cursors (32 x 32), drawn here rather than loaded, so they stay
// sharp and need no image files.
#include <QCursor>

namespace kivra {

// Arrow with a cross-hair, hot spot (12, 11): placing markers while the ID dialog is shown.
QCursor MarkerPlacingCursor();
// Open hand, hot spot (7, 7): the pointer is over a marker.
QCursor OpenHandCursor();
// Closed, grasping hand, hot spot (7, 7): a marker is being dragged.
QCursor ClosedHandCursor();

}  // namespace kivra
