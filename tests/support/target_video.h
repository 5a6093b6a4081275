#pragma once
// Test videos of targets with known motion: discs of one colour (markers) or of a fine checker
// (a point without a marker) over a textured background, drawn with anti-aliased edges and
// encoded by the installed ffmpeg program.
#include <functional>
#include <string>
#include <vector>

namespace kivra::test {

struct TargetPoint {
    double x = 0.0;  // pixel centres at whole numbers, as the marker store keeps points
    double y = 0.0;
};

struct Target {
    std::function<TargetPoint(int frame)> path;
    double radius = 6.0;
    unsigned char blue = 0, green = 0, red = 0;
    bool checker = false;  // a fine black-and-white checker instead of the colour
    // How much of the target shows on a frame (1 all of it, 0 none): fading into the background.
    std::function<double(int frame)> opacity = [](int) { return 1.0; };
};

// Renders `frames` frames of width x height with the targets (later ones drawn over earlier
// ones) and encodes them into path with the given ffmpeg encoder arguments, e.g.
// {"-c:v", "mjpeg", "-q:v", "2"}. True when ffmpeg succeeded.
bool WriteTargetVideo(const std::string& path, int width, int height, int frames,
                      const std::vector<Target>& targets,
                      const std::vector<std::string>& encoderArgs);

}  // namespace kivra::test
