#include "support/trimmed_reference.h"

#include <algorithm>
#include <cmath>

namespace kivra::test {

namespace {

// Output pixel j of `size` over `source` source pixels covers [c - r, c + r], c = (j + .5) * s,
// r = max(s, 1) / 2 with s = source / size, cut to the source.
void Footprint(int j, int source, int size, double* a, double* b) {
    const double s = double(source) / size;
    const double c = (j + 0.5) * s;
    const double r = std::max(s, 1.0) / 2;
    *a = std::max(c - r, 0.0);
    *b = std::min(c + r, double(source));
}

int MapEdge(double offset, double span, int out) {
    return int(std::floor(offset * out / span + 0.5));
}

}  // namespace

std::vector<uint8_t> ReferenceTrimmed(const SourcePixel& source, int imageWidth, int imageHeight,
                                      const PixelRect& trim, int width, int height) {
    std::vector<uint8_t> out(size_t(width) * size_t(height) * 3, 0);
    const int sl = std::max(trim.left, 0), st = std::max(trim.top, 0);
    const int sr = std::min(trim.right, imageWidth), sb = std::min(trim.bottom, imageHeight);
    if (trim.right <= trim.left || trim.bottom <= trim.top || sr <= sl || sb <= st) {
        return out;
    }
    const double tw = double(trim.right) - trim.left, th = double(trim.bottom) - trim.top;
    const int dl = MapEdge(sl - trim.left, tw, width), dr = MapEdge(sr - trim.left, tw, width);
    const int dt = MapEdge(st - trim.top, th, height), db = MapEdge(sb - trim.top, th, height);
    for (int y = dt; y < db; ++y) {
        double y0, y1;
        Footprint(y - dt, sb - st, db - dt, &y0, &y1);
        for (int x = dl; x < dr; ++x) {
            double x0, x1;
            Footprint(x - dl, sr - sl, dr - dl, &x0, &x1);
            for (int c = 0; c < 3; ++c) {
                double sum = 0, area = 0;
                for (int v = int(std::floor(y0)); v < int(std::ceil(y1)); ++v) {
                    const double wy = std::min(y1, v + 1.0) - std::max(y0, double(v));
                    for (int u = int(std::floor(x0)); u < int(std::ceil(x1)); ++u) {
                        const double wx = std::min(x1, u + 1.0) - std::max(x0, double(u));
                        if (wx > 0 && wy > 0) {
                            sum += wx * wy * source(sl + u, st + v, c);
                            area += wx * wy;
                        }
                    }
                }
                out[(size_t(y) * size_t(width) + size_t(x)) * 3 + size_t(c)] =
                    uint8_t(std::lround(sum / area));
            }
        }
    }
    return out;
}

std::vector<uint8_t> ReferenceMosaic(std::vector<uint8_t> px, int w, int h, int bpp, bool topDown,
                                     const PixelRect& r) {
    const auto at = [&](int x, int y) {
        return px.data() + size_t(topDown ? y : h - 1 - y) * size_t(w * bpp) + size_t(x * bpp);
    };
    // The rectangle on the picture only.
    const PixelRect c{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, w),
                      std::min(r.bottom, h)};
    for (int cx = 0; cx / 20 < w / 20 + 1; cx += 20) {
        for (int cy = 0; cy / 20 < h / 20 + 1; cy += 20) {
            int s[3] = {0, 0, 0};
            int n = 0;
            for (int x = cx; x < cx + 20; ++x) {
                if (x >= c.left - 20 && cy >= c.top - 20 && x < c.right && cy < c.bottom) {
                    const uint8_t* p = at(x, cy);
                    const int v = p[0] | p[1] << 8;
                    s[0] += bpp == 2 ? v & 31 : p[0];
                    s[1] += bpp == 2 ? (v >> 5) & 31 : p[1];
                    s[2] += bpp == 2 ? (v >> 10) & 31 : p[2];
                    ++n;
                }
            }
            if (n == 0) {
                continue;
            }
            const int b = std::min(s[0] / n, 255), g = std::min(s[1] / n, 255),
                      red = std::min(s[2] / n, 255);
            for (int y = cy; y < cy + 20; ++y) {
                for (int x = cx; x < cx + 20; ++x) {
                    if (x >= c.left && x < c.right && y >= c.top && y < c.bottom) {
                        uint8_t* p = at(x, y);
                        if (bpp == 2) {
                            const int v = (red * 32 + g) * 32 + b;
                            p[0] = uint8_t(v & 255);
                            p[1] = uint8_t(v >> 8);
                        } else {
                            p[0] = uint8_t(b);
                            p[1] = uint8_t(g);
                            p[2] = uint8_t(red);
                        }
                    }
                }
            }
        }
    }
    return px;
}

}  // namespace kivra::test
