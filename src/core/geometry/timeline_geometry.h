#pragma once
// How the timeline strip lays the whole video out along its width: the scale and the mapping
// between frames and strip pixels. Pure arithmetic, shared by the strip's drawing, its mouse
// work and the tests.

namespace kivra {

// Blank pixels left and right of the scale.
inline constexpr int kTimelineMargin = 18;

// Pixels per frame when frameCount frames fill a strip clientWidth pixels wide less both
// margins. 0 when there are no frames, so a broken header cannot divide by zero.
double TimelineScale(int clientWidth, int frameCount);

// Positions and spans are pinned to +-kTimelineFar, far off any screen, so callers can add
// handle widths to them without overflowing for frames or ranges that make no sense.
inline constexpr int kTimelineFar = 1 << 24;

// Left edge of frame's slot.
int TimelineFrameToX(int frame, double scale);

// Pixels that `frames` frames take up: trunc(frames * scale).
int TimelineSpan(double frames, double scale);

// The frame whose slot holds strip pixel x, clamped to firstFrame .. lastFrame. firstFrame when
// the scale has no extent to divide by.
int TimelineXToFrame(int x, double scale, int firstFrame, int lastFrame);

}  // namespace kivra
