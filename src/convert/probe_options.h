#pragma once
// What the media probe tells the open pipeline about a source, and the encoder options that
// turn it into square pixels the right way up.
#include <string>

namespace kivra {

class MediaInfoLibrary;

// The probe's answer for one source. All zero when the probe could not open it.
struct ProbeResult {
    bool opened = false;        // the library opened the file
    bool resizeNeeded = false;  // pixels are not square: convert to displayWidth x height
    int displayWidth = 0;
    int height = 0;
    int rotation = 0;  // "Rotation" read as an integer ("90.000" -> 90); 0 when unknown
};

// Opens the source with a probe, reads the display size and the rotation, and closes it again.
ProbeResult ProbeSource(const std::string& path);
ProbeResult ProbeSource(const std::string& path, const MediaInfoLibrary& library);

// The conversion's extra options: "-s <D>x<H> -aspect <D/H, 4 decimals>" when a resize is
// needed, then the filter that turns 90, 180 or 270 degrees upright; leading blanks removed.
// Numbers always carry a decimal point.
std::string ExtraOptions(const ProbeResult& result);

}  // namespace kivra
