#include "support/target_video.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>

#include "support/ffmpeg_tool.h"

namespace kivra::test {

namespace {

constexpr int kSubsamples = 4;  // per axis, for the edge coverage

uint32_t Hash(uint32_t x, uint32_t y) {
    uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    return h;
}

// Grey texture with a slow gradient, so that the background has structure everywhere.
double Background(int x, int y) {
    return 110.0 + 0.2 * x + 0.1 * y + double(Hash(uint32_t(x / 2), uint32_t(y / 2)) % 24);
}

}  // namespace

bool WriteTargetVideo(const std::string& path, int width, int height, int frames,
                      const std::vector<Target>& targets,
                      const std::vector<std::string>& encoderArgs) {
    std::string raw;
    raw.reserve(size_t(width) * height * 3 * frames);
    for (int f = 0; f < frames; ++f) {
        std::vector<double> picture(size_t(width) * height * 3);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const double g = Background(x, y);
                double* p = &picture[(size_t(y) * width + x) * 3];
                p[0] = g;
                p[1] = g;
                p[2] = g;
            }
        }
        for (const Target& t : targets) {
            const TargetPoint c = t.path(f);
            const double opacity = t.opacity(f);
            const int x0 = std::max(0, int(std::floor(c.x - t.radius - 1)));
            const int x1 = std::min(width - 1, int(std::ceil(c.x + t.radius + 1)));
            const int y0 = std::max(0, int(std::floor(c.y - t.radius - 1)));
            const int y1 = std::min(height - 1, int(std::ceil(c.y + t.radius + 1)));
            for (int y = y0; y <= y1; ++y) {
                for (int x = x0; x <= x1; ++x) {
                    double sum[3] = {0, 0, 0};
                    int inside = 0;
                    for (int sy = 0; sy < kSubsamples; ++sy) {
                        for (int sx = 0; sx < kSubsamples; ++sx) {
                            const double px = x - 0.5 + (sx + 0.5) / kSubsamples - c.x;
                            const double py = y - 0.5 + (sy + 0.5) / kSubsamples - c.y;
                            if (px * px + py * py > t.radius * t.radius) {
                                continue;
                            }
                            ++inside;
                            if (t.checker) {
                                // Cells of two pixels that move with the target.
                                const bool dark =
                                    (int(std::floor(px / 2.0)) + int(std::floor(py / 2.0))) % 2 !=
                                    0;
                                const double v = dark ? 20.0 : 235.0;
                                sum[0] += v;
                                sum[1] += v;
                                sum[2] += v;
                            } else {
                                sum[0] += t.blue;
                                sum[1] += t.green;
                                sum[2] += t.red;
                            }
                        }
                    }
                    if (inside == 0) {
                        continue;
                    }
                    const double cover = opacity * inside / double(kSubsamples * kSubsamples);
                    double* p = &picture[(size_t(y) * width + x) * 3];
                    for (int c3 = 0; c3 < 3; ++c3) {
                        p[c3] = (1.0 - cover) * p[c3] + cover * (sum[c3] / inside);
                    }
                }
            }
        }
        for (const double v : picture) {
            raw.push_back(char(uint8_t(std::lround(std::clamp(v, 0.0, 255.0)))));
        }
    }
    const std::string rawPath = path + ".bgr";
    if (!WriteFile(rawPath, raw)) {
        return false;
    }
    std::vector<std::string> args = {
        "-f",    "rawvideo", "-pix_fmt",
        "bgr24", "-s",       std::to_string(width) + "x" + std::to_string(height),
        "-r",    "25",       "-i",
        rawPath};
    args.insert(args.end(), encoderArgs.begin(), encoderArgs.end());
    args.push_back(path);
    const bool made = RunFfmpeg(args);
    std::error_code ignored;
    std::filesystem::remove(rawPath, ignored);
    return made;
}

}  // namespace kivra::test
