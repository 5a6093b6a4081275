#pragma once
// A tool laid over the frame view for a while (the calibration's clicks): it takes left clicks
// on the picture before the view's own mouse work and draws over the picture. Its owner sets
// it on the view and keeps it alive as long as the view, or clears it before it goes.
#include <functional>
#include <optional>

#include "geometry/view_geometry.h"

class QPainter;

namespace kivra {

class PictureClickHook {
public:
    virtual ~PictureClickHook() = default;

    // A left click inside the painted picture, in image pixels; true when taken, so the view
    // does nothing else with it.
    virtual bool OnPictureClick(ImagePoint point) = 0;

    // Draws over the picture after everything else; toView maps image pixels onto the view as
    // painted now (nothing where the mapping cannot be formed).
    using ToView = std::function<std::optional<ViewPoint>(ImagePoint)>;
    virtual void PaintOverPicture(QPainter& painter, const ToView& toView) = 0;
};

}  // namespace kivra
