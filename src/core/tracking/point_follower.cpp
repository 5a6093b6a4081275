#include "tracking/point_follower.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>

namespace kivra {

namespace {

// Any click: a square patch whose weights fall off from the centre.
constexpr int kPlainRadius = 10;
constexpr double kPlainSigma = 6.0;
constexpr int kProbeRadius = 16;  // how far around the click a marker's rim is looked for
constexpr int kMinMarkerRadius = 2;
constexpr int kMaxMarkerRadius = 12;
constexpr double kMinMarkerContrast = 15.0;  // colour distance of disc and rim, grey levels
// The marker's threshold is half its distance to its surroundings: a pixel looks somewhat like
// the marker up to a threshold away from its colour, and the inside of a marker that has moved a
// threshold towards its surroundings (halfway) scores kMinScore.
constexpr double kInsideReach = 2.5;
constexpr double kNearerBias = 0.02;  // disc likeness given up per pixel from the prediction

constexpr int kFlowWindow = 21;
constexpr int kFlowLevels = 3;  // reaches about 80 pixels of motion a frame
constexpr int kFlowMargin = 40;
constexpr int kMaxSpeed = 120;               // pixels a frame the prediction is allowed
constexpr double kMaxForwardBackward = 1.0;  // pixels between the flow there and back
constexpr int kNearSearch = 3;               // correlation search around a consistent flow
constexpr int kWideSearch = 10;              // ... around the motion so far when it is not
constexpr int kAlignIterations = 20;
constexpr double kAlignDone = 0.005;    // pixels of change that end the alignment
constexpr double kMaxAlignShift = 3.0;  // alignment may move the correlation peak this far
// Residuals beyond this many robust deviations (and beyond kMinCutoff grey levels) are taken
// for something in front of or behind the point that the click did not show, and ignored.
constexpr double kTukey = 4.685;
constexpr double kMinCutoff = 12.0;
// Below this match with the click the point counts as lost. For a plain point the match is the
// correlation with the clicked patch: turning, shading and the changing background behind a
// joint keep real matches well above it, the background next to it falls far below. For a
// marker it is the worse of how much its inside keeps its colour and how closed its rim is.
constexpr double kMinScore = 0.6;
// The patch's contrast against the click's: a marker that fades or is covered loses contrast
// before its correlation drops.
constexpr double kMinContrast = 0.4;
constexpr double kMaxContrast = 2.5;
constexpr double kMinSpread = 2.0;  // grey levels: a flat patch has nothing to follow
constexpr int kEdge = 2;            // the point must stay this far inside the picture

cv::Point Rounded(cv::Point2d p) {
    return {int(std::lround(p.x)), int(std::lround(p.y))};
}

cv::Point2f ToFloat(cv::Point2d p) {
    return {float(p.x), float(p.y)};
}

// The square of side 2 * radius + 1 around centre, copied exactly; outside the picture the
// border pixels repeat.
cv::Mat CropAround(const cv::Mat& picture, cv::Point centre, int radius) {
    cv::Mat crop;
    cv::getRectSubPix(picture, cv::Size(2 * radius + 1, 2 * radius + 1),
                      cv::Point2f(float(centre.x), float(centre.y)), crop);
    return crop;
}

cv::Point2d CropOrigin(cv::Point centre, int radius) {
    return {double(centre.x - radius), double(centre.y - radius)};
}

// The square of side `size` around a sub-pixel point, bilinear, as 3-channel floats.
cv::Mat PatchAt(const cv::Mat& picture, cv::Point2d at, int size) {
    cv::Mat patch;
    cv::getRectSubPix(picture, cv::Size(size, size), ToFloat(at), patch, CV_32F);
    return patch;
}

double ColourDistance(const cv::Vec3f& a, const cv::Vec3d& b) {
    const double d0 = a[0] - b[0];
    const double d1 = a[1] - b[1];
    const double d2 = a[2] - b[2];
    return std::sqrt(d0 * d0 + d1 * d1 + d2 * d2);
}

// Per ring of pixels around the centre of `patch` (ring k: distance rounded to k), the share
// whose colour is further than threshold from colour.
std::vector<double> DifferingShares(const cv::Mat& patch, const cv::Vec3d& colour,
                                    double threshold) {
    const int r = patch.rows / 2;
    std::vector<int> differing(size_t(r) + 1, 0);
    std::vector<int> counted(size_t(r) + 1, 0);
    for (int y = 0; y < patch.rows; ++y) {
        for (int x = 0; x < patch.cols; ++x) {
            const int ring = int(std::lround(std::hypot(x - r, y - r)));
            if (ring <= r) {
                ++counted[size_t(ring)];
                differing[size_t(ring)] +=
                    ColourDistance(patch.at<cv::Vec3f>(y, x), colour) > threshold;
            }
        }
    }
    std::vector<double> shares(size_t(r) + 1, 0.0);
    for (size_t k = 0; k < shares.size(); ++k) {
        shares[k] = counted[k] > 0 ? double(differing[k]) / counted[k] : 0.0;
    }
    return shares;
}

// Mean colour of the pixels of `patch` within `radius` of its centre.
cv::Vec3d MeanWithin(const cv::Mat& patch, double radius) {
    const int r = patch.rows / 2;
    cv::Vec3d sum(0, 0, 0);
    int count = 0;
    for (int y = 0; y < patch.rows; ++y) {
        for (int x = 0; x < patch.cols; ++x) {
            if (std::hypot(x - r, y - r) <= radius) {
                const cv::Vec3f& c = patch.at<cv::Vec3f>(y, x);
                sum += cv::Vec3d(c[0], c[1], c[2]);
                ++count;
            }
        }
    }
    return count > 0 ? sum / double(count) : sum;
}

}  // namespace

// A marker under the click: a disc of about the click's colour, closed all round by a clearly
// different rim. edge 0 when the click is on anything else. `around` is centred on the click.
PointFollower::Marker PointFollower::FindMarker(const cv::Mat& around) {
    Marker none;
    const int r = around.rows / 2;
    const cv::Vec3d centre = MeanWithin(around, 1.5);
    std::vector<double> distances;
    distances.reserve(around.total());
    for (int y = 0; y < around.rows; ++y) {
        for (int x = 0; x < around.cols; ++x) {
            distances.push_back(ColourDistance(around.at<cv::Vec3f>(y, x), centre));
        }
    }
    std::vector<double> sorted = distances;
    const auto high = sorted.begin() + std::ptrdiff_t(sorted.size() * 9 / 10);
    std::nth_element(sorted.begin(), high, sorted.end());
    const double threshold = 0.5 * *high;
    if (threshold < kMinMarkerContrast) {
        return none;
    }
    const std::vector<double> shares = DifferingShares(around, centre, threshold);
    const auto share = [&](int ring) { return shares[size_t(ring)]; };
    int edge = 1;
    while (edge <= r && share(edge) < 0.5) {
        ++edge;
    }
    if (edge < kMinMarkerRadius || edge > kMaxMarkerRadius || edge + 2 > r) {
        return none;
    }
    for (int ring = 1; ring < edge - 1; ++ring) {
        if (share(ring) > 0.25) {
            return none;
        }
    }
    if (share(edge + 1) < 0.75 || share(edge + 2) < 0.75) {
        return none;  // open on some side: a stripe or a corner, not a marker
    }
    return {edge, MeanWithin(around, edge - 1.5), threshold};
}

namespace {

// Pyramidal Lucas-Kanade for one point; false when it does not converge.
bool Flow(const cv::Mat& from, const cv::Mat& to, cv::Point2d start, cv::Point2d guess,
          cv::Point2d* found) {
    std::vector<cv::Point2f> a{ToFloat(start)};
    std::vector<cv::Point2f> b{ToFloat(guess)};
    std::vector<uchar> status;
    std::vector<float> error;
    cv::calcOpticalFlowPyrLK(
        from, to, a, b, status, error, cv::Size(kFlowWindow, kFlowWindow), kFlowLevels,
        cv::TermCriteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, 30, 0.01),
        cv::OPTFLOW_USE_INITIAL_FLOW);
    if (status.empty() || status[0] == 0 || !std::isfinite(b[0].x) || !std::isfinite(b[0].y)) {
        return false;
    }
    *found = {b[0].x, b[0].y};
    return true;
}

// The vertex of the parabola through three samples around a peak, as an offset in -0.5 .. 0.5.
double PeakOffset(float before, float at, float after) {
    const double curve = double(before) - 2.0 * double(at) + double(after);
    if (curve >= 0.0) {
        return 0.0;
    }
    return std::clamp(0.5 * (double(before) - double(after)) / curve, -0.5, 0.5);
}

// Weighted mean per channel of a 3-channel float patch.
cv::Vec3d WeightedMean(const cv::Mat& patch, const cv::Mat& weights) {
    cv::Vec3d sum(0, 0, 0);
    double total = 0.0;
    for (int y = 0; y < patch.rows; ++y) {
        const cv::Vec3f* p = patch.ptr<cv::Vec3f>(y);
        const float* w = weights.ptr<float>(y);
        for (int x = 0; x < patch.cols; ++x) {
            for (int c = 0; c < 3; ++c) {
                sum[c] += double(w[x]) * p[x][c];
            }
            total += w[x];
        }
    }
    return total > 0.0 ? sum / total : sum;
}

// Weighted spread (root mean square deviation over the channels).
double WeightedSpread(const cv::Mat& patch, const cv::Mat& weights) {
    const cv::Vec3d mean = WeightedMean(patch, weights);
    double sum = 0.0;
    double total = 0.0;
    for (int y = 0; y < patch.rows; ++y) {
        const cv::Vec3f* p = patch.ptr<cv::Vec3f>(y);
        const float* w = weights.ptr<float>(y);
        for (int x = 0; x < patch.cols; ++x) {
            for (int c = 0; c < 3; ++c) {
                const double d = p[x][c] - mean[c];
                sum += double(w[x]) * d * d;
            }
            total += 3.0 * w[x];
        }
    }
    return total > 0.0 ? std::sqrt(sum / total) : 0.0;
}

}  // namespace

PointFollower::PointFollower(const cv::Mat& clicked, cv::Point2d point) : point_(point) {
    if (clicked.empty() || clicked.type() != CV_8UC3 || !Inside(clicked, point)) {
        return;
    }
    marker_ = FindMarker(PatchAt(clicked, point, 2 * kProbeRadius + 1));
    // A marker's patch holds its rim, which tells whether it is still there.
    radius_ = std::max(kPlainRadius, marker_.edge + 3);
    const int size = 2 * radius_ + 1;
    weights_.create(size, size, CV_32F);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double r = std::hypot(x - radius_, y - radius_);
            weights_.at<float>(y, x) = float(std::exp(-r * r / (2.0 * kPlainSigma * kPlainSigma)));
        }
    }
    cv::sqrt(weights_, searchMask_);
    cv::getRectSubPix(clicked, cv::Size(size, size), ToFloat(point), patch8_);
    // One pixel more all round for the central differences.
    const cv::Mat wider = PatchAt(clicked, point, size + 2);
    patch32_ = wider(cv::Rect(1, 1, size, size)).clone();
    gradX_ = 0.5 * (wider(cv::Rect(2, 1, size, size)) - wider(cv::Rect(0, 1, size, size)));
    gradY_ = 0.5 * (wider(cv::Rect(1, 2, size, size)) - wider(cv::Rect(1, 0, size, size)));
    patchSpread_ = WeightedSpread(patch32_, weights_);
    followable_ = patchSpread_ >= kMinSpread;
    if (marker_.edge > 0) {
        // Where the user clicked on the marker, against where its centre is found.
        markerOffset_ = point - LocateMarker(clicked, point, 1);
    }
}

bool PointFollower::Inside(const cv::Mat& picture, cv::Point2d at) const {
    return at.x >= kEdge && at.y >= kEdge && at.x <= picture.cols - 1 - kEdge &&
           at.y <= picture.rows - 1 - kEdge;
}

double PointFollower::Score(const cv::Mat& picture, cv::Point2d at, double* contrast) const {
    const cv::Mat patch = PatchAt(picture, at, patch32_.rows);
    if (marker_.edge > 0) {
        // Its inside still of its colour, and closed all round by something else.
        *contrast = 1.0;
        const double inside =
            1.0 - ColourDistance(cv::Vec3f(MeanWithin(patch, marker_.edge - 1.5)), marker_.colour) /
                      (kInsideReach * marker_.threshold);
        const std::vector<double> shares =
            DifferingShares(patch, marker_.colour, marker_.threshold);
        const double closed =
            std::min(shares[size_t(marker_.edge + 1)], shares[size_t(marker_.edge + 2)]);
        return std::min(inside, closed);
    }
    const cv::Vec3d mp = WeightedMean(patch, weights_);
    const cv::Vec3d mt = WeightedMean(patch32_, weights_);
    double cross = 0.0, pp = 0.0, tt = 0.0;
    for (int y = 0; y < patch.rows; ++y) {
        const cv::Vec3f* p = patch.ptr<cv::Vec3f>(y);
        const cv::Vec3f* t = patch32_.ptr<cv::Vec3f>(y);
        const float* w = weights_.ptr<float>(y);
        for (int x = 0; x < patch.cols; ++x) {
            for (int c = 0; c < 3; ++c) {
                const double dp = p[x][c] - mp[c];
                const double dt = t[x][c] - mt[c];
                cross += w[x] * dp * dt;
                pp += w[x] * dp * dp;
                tt += w[x] * dt * dt;
            }
        }
    }
    *contrast = patchSpread_ > 0.0 ? WeightedSpread(patch, weights_) / patchSpread_ : 0.0;
    const double score = pp > 0.0 && tt > 0.0 ? cross / std::sqrt(pp * tt) : -1.0;
    return std::isfinite(score) ? score : -1.0;
}

bool PointFollower::Align(const cv::Mat& picture, cv::Point2d* at) const {
    // Inverse compositional Lucas-Kanade for a shift, with a brightness offset per channel,
    // the patch weights and Tukey's biweight on each pixel's residual.
    const int size = patch32_.rows;
    const cv::Point2d start = *at;
    cv::Point2d p = start;
    std::vector<float> magnitudes(size_t(size) * size);
    std::vector<float> sorted;
    cv::Mat residual(size, size, CV_32FC3);
    for (int iteration = 0; iteration < kAlignIterations; ++iteration) {
        cv::subtract(PatchAt(picture, p, size), patch32_, residual);
        const cv::Vec3d offset = WeightedMean(residual, weights_);
        for (int y = 0; y < size; ++y) {
            cv::Vec3f* e = residual.ptr<cv::Vec3f>(y);
            for (int x = 0; x < size; ++x) {
                for (int c = 0; c < 3; ++c) {
                    e[x][c] -= float(offset[c]);
                }
                magnitudes[size_t(y) * size + x] =
                    std::sqrt((e[x][0] * e[x][0] + e[x][1] * e[x][1] + e[x][2] * e[x][2]) / 3.0f);
            }
        }
        sorted = magnitudes;
        std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2),
                         sorted.end());
        const double cutoff =
            std::max(kMinCutoff, kTukey * 1.4826 * double(sorted[sorted.size() / 2]));

        double h11 = 0.0, h12 = 0.0, h22 = 0.0, b1 = 0.0, b2 = 0.0;
        for (int y = 0; y < size; ++y) {
            const cv::Vec3f* e = residual.ptr<cv::Vec3f>(y);
            const cv::Vec3f* gx = gradX_.ptr<cv::Vec3f>(y);
            const cv::Vec3f* gy = gradY_.ptr<cv::Vec3f>(y);
            const float* w = weights_.ptr<float>(y);
            for (int x = 0; x < size; ++x) {
                const double u = magnitudes[size_t(y) * size + x] / cutoff;
                if (u >= 1.0 || w[x] <= 0.0f) {
                    continue;
                }
                const double weight = w[x] * (1.0 - u * u) * (1.0 - u * u);
                for (int c = 0; c < 3; ++c) {
                    h11 += weight * gx[x][c] * gx[x][c];
                    h12 += weight * gx[x][c] * gy[x][c];
                    h22 += weight * gy[x][c] * gy[x][c];
                    b1 += weight * gx[x][c] * e[x][c];
                    b2 += weight * gy[x][c] * e[x][c];
                }
            }
        }
        // A patch with structure in one direction only cannot be placed along the other.
        const double det = h11 * h22 - h12 * h12;
        if (!(det > 1e-6 * (h11 + h22) * (h11 + h22))) {
            return false;
        }
        const cv::Point2d delta((h22 * b1 - h12 * b2) / det, (h11 * b2 - h12 * b1) / det);
        p -= delta;
        if (cv::norm(p - start) > kMaxAlignShift) {
            return false;
        }
        if (cv::norm(delta) < kAlignDone) {
            break;
        }
    }
    *at = p;
    return true;
}

cv::Point2d PointFollower::LocateMarker(const cv::Mat& picture, cv::Point2d predicted,
                                        int search) const {
    // How much each pixel looks like the marker's colour; the disc of the marker's size that
    // holds the most of it, then the centre of that likeness around it.
    const cv::Point centre = Rounded(predicted);
    const int reach = search + marker_.edge + 2;
    const cv::Mat region = CropAround(picture, centre, reach);
    cv::Mat likeness(region.size(), CV_32F);
    for (int y = 0; y < region.rows; ++y) {
        const cv::Vec3b* p = region.ptr<cv::Vec3b>(y);
        float* l = likeness.ptr<float>(y);
        for (int x = 0; x < region.cols; ++x) {
            const cv::Vec3f c(p[x][0], p[x][1], p[x][2]);
            l[x] =
                float(std::max(0.0, 1.0 - ColourDistance(c, marker_.colour) / marker_.threshold));
        }
    }
    const int k = marker_.edge;
    cv::Mat disc = cv::Mat::zeros(2 * k + 1, 2 * k + 1, CV_32F);
    cv::circle(disc, cv::Point(k, k), k, cv::Scalar(1.0), cv::FILLED);
    cv::Mat filled;
    cv::filter2D(likeness, filled, CV_32F, disc, cv::Point(-1, -1), 0, cv::BORDER_CONSTANT);
    // Of two equal markers (markers often share one colour), the one nearer the prediction.
    for (int y = 0; y < filled.rows; ++y) {
        float* f = filled.ptr<float>(y);
        for (int x = 0; x < filled.cols; ++x) {
            f[x] -= float(kNearerBias * std::hypot(x - reach, y - reach));
        }
    }
    const cv::Rect inner(reach - search, reach - search, 2 * search + 1, 2 * search + 1);
    cv::Point peak;
    cv::minMaxLoc(filled(inner), nullptr, nullptr, nullptr, &peak);
    cv::Point2d at(peak.x + inner.x, peak.y + inner.y);
    for (int round = 0; round < 5; ++round) {
        double sx = 0.0, sy = 0.0, total = 0.0;
        const double within = marker_.edge + 1.0;
        for (int y = std::max(0, int(at.y - within) - 1);
             y <= std::min(region.rows - 1, int(at.y + within) + 1); ++y) {
            for (int x = std::max(0, int(at.x - within) - 1);
                 x <= std::min(region.cols - 1, int(at.x + within) + 1); ++x) {
                if (std::hypot(x - at.x, y - at.y) <= within) {
                    const double l = likeness.at<float>(y, x);
                    sx += l * x;
                    sy += l * y;
                    total += l;
                }
            }
        }
        if (total <= 0.0) {
            break;
        }
        const cv::Point2d next(sx / total, sy / total);
        const bool settled = cv::norm(next - at) < 0.01;
        at = next;
        if (settled) {
            break;
        }
    }
    cv::Point2d located = at + CropOrigin(centre, reach) + markerOffset_;
    return located;
}

cv::Point2d PointFollower::Locate(const cv::Mat& picture, cv::Point2d predicted, int search) const {
    if (marker_.edge > 0) {
        return LocateMarker(picture, predicted, search);
    }
    const cv::Point centre = Rounded(predicted);
    const cv::Mat region = CropAround(picture, centre, search + radius_);
    cv::Mat correlation;
    cv::matchTemplate(region, patch8_, correlation, cv::TM_CCOEFF_NORMED, searchMask_);
    cv::Point peak;
    cv::minMaxLoc(correlation, nullptr, nullptr, nullptr, &peak);
    cv::Point2d matched(centre.x - search + peak.x, centre.y - search + peak.y);
    if (peak.x > 0 && peak.x < correlation.cols - 1) {
        matched.x += PeakOffset(correlation.at<float>(peak.y, peak.x - 1),
                                correlation.at<float>(peak.y, peak.x),
                                correlation.at<float>(peak.y, peak.x + 1));
    }
    if (peak.y > 0 && peak.y < correlation.rows - 1) {
        matched.y += PeakOffset(correlation.at<float>(peak.y - 1, peak.x),
                                correlation.at<float>(peak.y, peak.x),
                                correlation.at<float>(peak.y + 1, peak.x));
    }
    Align(picture, &matched);
    return matched;
}

FollowStep PointFollower::Step(const cv::Mat& previous, const cv::Mat& current) {
    FollowStep step;
    step.point = point_;
    if (!followable_ || current.empty() || current.size() != previous.size() ||
        current.type() != CV_8UC3) {
        return step;
    }
    const double speed = std::hypot(velocity_.x, velocity_.y);
    if (speed > kMaxSpeed) {
        velocity_ *= kMaxSpeed / speed;
    }
    const cv::Point2d guess = point_ + velocity_;

    // 1. Where the flow from the previous picture puts it, if the flow back agrees.
    const int flowRadius = int(std::ceil(std::hypot(velocity_.x, velocity_.y))) + kFlowMargin;
    const cv::Point flowCentre = Rounded(point_);
    const cv::Point2d flowOrigin = CropOrigin(flowCentre, flowRadius);
    const cv::Mat before = CropAround(previous, flowCentre, flowRadius);
    const cv::Mat after = CropAround(current, flowCentre, flowRadius);
    cv::Point2d ahead;
    cv::Point2d back;
    const bool consistent = Flow(before, after, point_ - flowOrigin, guess - flowOrigin, &ahead) &&
                            Flow(after, before, ahead, point_ - flowOrigin, &back) &&
                            cv::norm(back - (point_ - flowOrigin)) <= kMaxForwardBackward;
    // 2. The clicked patch near where the flow puts it, placed to a fraction of a pixel; if it
    // does not match there, near where the motion so far puts it.
    double contrast = 0.0;
    cv::Point2d located;
    if (consistent) {
        located = Locate(current, ahead + flowOrigin, kNearSearch);
        step.score = Score(current, located, &contrast);
    }
    if (!consistent || step.score < kMinScore) {
        located = Locate(current, guess, kWideSearch + int(std::ceil(speed / 2)));
        step.score = Score(current, located, &contrast);
    }

    // 3. Accepted only when it still looks like the click.
    if (!Inside(current, located)) {
        step.outcome = FollowOutcome::LeftPicture;
        return step;
    }
    if (step.score < kMinScore || contrast < kMinContrast || contrast > kMaxContrast) {
        step.outcome = FollowOutcome::Lost;
        return step;
    }
    velocity_ = located - point_;
    point_ = located;
    step.point = located;
    step.outcome = FollowOutcome::Found;
    return step;
}

}  // namespace kivra
