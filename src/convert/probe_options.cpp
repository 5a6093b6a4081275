#include "convert/probe_options.h"

#include <charconv>
#include <cstdio>

#include "convert/video_info.h"

namespace kivra {

namespace {

ProbeResult ProbeWith(HaldsCVideoInfo& probe, const std::string& path) {
    ProbeResult result;
    if (probe.Open(path) == 0) {
        return result;
    }
    result.opened = true;
    int width = 0;
    int height = 0;
    if (probe.GetDisplaySize(&width, &height)) {
        result.resizeNeeded = true;
        result.displayWidth = width;
        result.height = height;
    }
    result.rotation = LeadingInt(probe.Get("Rotation"));
    probe.Close();
    return result;
}

// printf's "%.4f" without the locale's decimal separator.
std::string FixedFour(double value) {
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    return error == std::errc{} ? std::string(buffer, end) : std::string("0.0000");
}

const char* RotationFilter(int rotation) {
    switch (rotation) {
        case 90:
            return " -vf transpose=1 -metadata:s:v:0 rotate=0";
        case 180:
            return " -vf hflip,vflip -metadata:s:v:0 rotate=0";
        case 270:
            return " -vf transpose=2 -metadata:s:v:0 rotate=0";
        default:
            return "";
    }
}

}  // namespace

ProbeResult ProbeSource(const std::string& path) {
    HaldsCVideoInfo probe;
    return ProbeWith(probe, path);
}

ProbeResult ProbeSource(const std::string& path, const MediaInfoLibrary& library) {
    HaldsCVideoInfo probe(library);
    return ProbeWith(probe, path);
}

std::string ExtraOptions(const ProbeResult& result) {
    std::string options;
    if (result.resizeNeeded && result.height > 0) {
        char size[64];
        std::snprintf(size, sizeof size, "-s %dx%d -aspect ", result.displayWidth, result.height);
        options = size + FixedFour(static_cast<double>(result.displayWidth) / result.height);
    }
    options += RotationFilter(result.rotation);
    const size_t first = options.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : options.substr(first);
}

}  // namespace kivra
