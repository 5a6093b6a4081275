#pragma once
// The scale and origin of one video: millimetres per image pixel taken from two clicked points
// a known distance apart, and where the coordinates start. Kept beside the video in a small
// text file of our own, "<video name>.kcal":
//
//   kivra-calibration 1
//   scale_mm_per_pixel 4.7619047619047619
//   origin 0 720                      (optional: image pixels, y down)
//   reference 210 665 420 665 1000    (optional: x1 y1 x2 y2 of the clicked points, length mm)
//
// One "key values" line each, blanks between, '#' starts a comment line, numbers with a
// decimal point whatever the locale.
#include <optional>
#include <string>
#include <string_view>

#include "geometry/view_geometry.h"

namespace kivra {

// The two points the scale was taken from and the real distance between them.
struct CalibrationReference {
    ImagePoint first;
    ImagePoint second;
    double lengthMm = 0.0;
};

struct Calibration {
    double mmPerPixel = 0.0;
    std::optional<ImagePoint> origin;  // image pixels; the picture's bottom-left when absent
    std::optional<CalibrationReference> reference;
};

// The scale of two points lengthMm apart. Nothing when the points coincide, a value is not
// finite, or the length is not positive.
std::optional<Calibration> CalibrationFromPoints(ImagePoint first, ImagePoint second,
                                                 double lengthMm,
                                                 std::optional<ImagePoint> origin = std::nullopt);

// The calibration file of a video: its extension replaced by ".kcal".
std::string CalibrationPath(const std::string& videoPath);

// The file's text; ParseCalibration reads it back exactly.
std::string FormatCalibration(const Calibration& calibration);

struct CalibrationRead {
    enum Status { kMissing, kLoaded, kDamaged };
    Status status = kMissing;
    Calibration calibration;  // only with kLoaded
    std::string problem;      // only with kDamaged: what is wrong, for the user
};

// Files larger than this are not ours.
inline constexpr std::size_t kMaxCalibrationFileBytes = 4096;

CalibrationRead ParseCalibration(std::string_view text);
// Missing when nothing is at path; damaged when it cannot be read, is not a regular file, is
// too large or does not parse.
CalibrationRead ReadCalibrationFile(const std::string& path);
// Replaces the file in one step; false leaves an old one intact.
bool WriteCalibrationFile(const std::string& path, const Calibration& calibration);

}  // namespace kivra
