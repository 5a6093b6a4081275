#pragma once
// Follows one clicked point through consecutive pictures. Each step predicts the point with
// pyramidal optical flow from the previous picture (checked forward and backward), finds the
// clicked patch near the prediction by normalised cross-correlation, and aligns the clicked
// patch itself to sub-pixel precision. A click on a marker (a small disc of its own colour,
// closed all round by something else) is followed by the centre of that colour instead, since
// the limbs around a joint move behind the marker and would pull a patch along. Every position is
// measured against the click, never against the previous step, so errors do not add up over the
// frames; a match below the confidence limits ends the follow instead of sliding onto the
// background. One per ID per run.
#include <opencv2/core.hpp>

namespace kivra {

enum class FollowOutcome { Found, Lost, LeftPicture };

struct FollowStep {
    FollowOutcome outcome = FollowOutcome::Lost;
    cv::Point2d point;   // where the point is (Found) or was last seen
    double score = 0.0;  // match with the click, up to 1 (see kMinScore)
};

class PointFollower {
public:
    // clicked: the picture of the click (8-bit BGR) and the point on it, pixel centres at whole
    // numbers.
    PointFollower(const cv::Mat& clicked, cv::Point2d point);

    // False when the click lies too near the edge or on a patch too flat to follow.
    bool Followable() const { return followable_; }
    cv::Point2d Point() const { return point_; }

    // The point on `current`, the picture after `previous` (the one of the last step, or the
    // clicked one for the first step).
    FollowStep Step(const cv::Mat& previous, const cv::Mat& current);

private:
    // A marker under the click: its radius in whole rings (0: no marker), its colour, and the
    // colour distance that tells it from its surroundings.
    struct Marker {
        int edge = 0;
        cv::Vec3d colour;
        double threshold = 0.0;
    };
    static Marker FindMarker(const cv::Mat& around);

    // How well `picture` around `at` matches the click: for a marker, its colour inside and its
    // closed rim; otherwise the centre-weighted correlation with the clicked patch, and the
    // ratio of their spreads (contrast of the picture's patch over the clicked one's).
    double Score(const cv::Mat& picture, cv::Point2d at, double* contrast) const;
    // Moves *at to where the clicked patch fits `picture` best, to a fraction of a pixel; false
    // when that does not settle near the start.
    bool Align(const cv::Mat& picture, cv::Point2d* at) const;
    // The best correlation of the clicked patch within `search` pixels of `predicted`, aligned;
    // for a marker, LocateMarker.
    cv::Point2d Locate(const cv::Mat& picture, cv::Point2d predicted, int search) const;
    // The marker-coloured disc within `search` pixels of `predicted` (the nearer of two equal
    // ones), then the centre of its colour, plus the click's offset from it.
    cv::Point2d LocateMarker(const cv::Mat& picture, cv::Point2d predicted, int search) const;
    bool Inside(const cv::Mat& picture, cv::Point2d at) const;

    Marker marker_;
    cv::Point2d markerOffset_;  // the click from the marker's centre
    int radius_ = 0;            // of the square patch
    cv::Mat patch8_;            // the clicked patch, for the correlation search
    cv::Mat patch32_;           // the same in floats (3 channels)
    cv::Mat gradX_;             // its gradients, for the alignment
    cv::Mat gradY_;
    cv::Mat weights_;     // how much each pixel of the patch counts (1 channel)
    cv::Mat searchMask_;  // their square roots, as the correlation search applies them twice
    double patchSpread_ = 0.0;
    cv::Point2d point_;
    cv::Point2d velocity_;
    bool followable_ = false;
};

}  // namespace kivra
