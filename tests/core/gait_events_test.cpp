// Heel strikes and toe-offs on walks as a lab records them (a rolling foot, a toe marker on the
// metatarsal head, a perspective side camera), against the contacts of the foot itself.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "gait/gait_events.h"
#include "realistic_walk.h"

namespace {

using namespace kivra;
using kivra::walks::MakeRealisticWalk;
using kivra::walks::MarkerGap;
using kivra::walks::RealisticWalk;
using kivra::walks::TrueEvent;
using kivra::walks::WalkOptions;

struct Errors {
    int missing = 0;          // true events away from the ends that were not found
    int invented = 0;         // found events with no true one near
    int worstFrames = 0;      // found frame against the frame nearest the truth
    double meanMoment = 0.0;  // |found moment - true moment|, frames
};

// Matches each found event to the true one of its side and kind nearest to it.
Errors Compare(const std::vector<GaitEvent>& found, const RealisticWalk& walk) {
    Errors errors;
    const double edge = 0.4 * walk.fps;  // events this close to the ends may be left out
    std::vector<bool> used(found.size());
    int matched = 0;
    for (const TrueEvent& t : walk.events) {
        const double truth = t.seconds * walk.fps;
        int best = -1;
        for (std::size_t i = 0; i < found.size(); ++i) {
            if (found[i].side == t.side && found[i].kind == t.kind &&
                std::abs(found[i].moment - truth) < 0.2 * walk.fps &&
                (best < 0 || std::abs(found[i].moment - truth) <
                                 std::abs(found[static_cast<std::size_t>(best)].moment - truth))) {
                best = static_cast<int>(i);
            }
        }
        if (best < 0) {
            errors.missing += truth > edge && truth < walk.frames - 1 - edge ? 1 : 0;
            continue;
        }
        const GaitEvent& f = found[static_cast<std::size_t>(best)];
        used[static_cast<std::size_t>(best)] = true;
        errors.worstFrames =
            std::max(errors.worstFrames, std::abs(f.frame - static_cast<int>(std::lround(truth))));
        errors.meanMoment += std::abs(f.moment - truth);
        ++matched;
    }
    errors.meanMoment /= std::max(1, matched);
    for (const bool u : used) {
        errors.invented += u ? 0 : 1;
    }
    return errors;
}

TEST(GaitEventsRealisticTest, ContactsFoundAtBothFrameRatesDirectionsCleanAndNoisy) {
    struct Case {
        double fps;
        int direction;
        double noisePx;
        double filterHz;
        int within;         // frames
        double meanWithin;  // frames, mean over the walk
    };
    // At 60 fps the bounds are the same in time as at 30 fps: the toe-off's spread from walker
    // to walker (about 10 ms) is more than a third of a 60 fps frame.
    for (const Case& c : {Case{30, 1, 0.0, 0.0, 1, 0.5}, Case{30, -1, 0.0, 0.0, 1, 0.5},
                          Case{30, 1, 1.0, 6.0, 2, 1.0}, Case{30, -1, 1.0, 6.0, 2, 1.0},
                          Case{60, 1, 0.0, 0.0, 2, 1.0}, Case{60, -1, 0.0, 0.0, 2, 1.0},
                          Case{60, 1, 1.0, 6.0, 4, 2.0}, Case{60, -1, 1.0, 6.0, 4, 2.0}}) {
        for (unsigned seed = 1; seed <= 4; ++seed) {
            WalkOptions options;
            options.fps = c.fps;
            options.direction = c.direction;
            options.seed = seed;
            options.clickNoisePx = c.noisePx;
            options.noiseSeed = seed + 40;
            const RealisticWalk walk = MakeRealisticWalk(options);
            const std::string label = std::to_string(static_cast<int>(c.fps)) + " fps, " +
                                      (c.direction > 0 ? "rightwards" : "leftwards") +
                                      (c.noisePx > 0 ? ", 1 px clicks" : ", clean") + ", walker " +
                                      std::to_string(seed);
            const EventDetection detection = DetectGaitEvents(walk.feet, {c.fps, c.filterHz});
            ASSERT_TRUE(detection.error.empty()) << label << ": " << detection.error;
            ASSERT_TRUE(detection.floor) << label;
            EXPECT_EQ(detection.floor->direction, c.direction) << label;
            EXPECT_TRUE(std::is_sorted(detection.events.begin(), detection.events.end())) << label;
            const Errors errors = Compare(detection.events, walk);
            EXPECT_EQ(errors.missing, 0) << label;
            EXPECT_EQ(errors.invented, 0) << label;
            EXPECT_LE(errors.worstFrames, c.within) << label;
            EXPECT_LT(errors.meanMoment, c.meanWithin) << label;
        }
    }
}

// Cuts the tracks to frames first ... last.
std::vector<FootTrack> Cut(const std::vector<FootTrack>& feet, int first, int last) {
    std::vector<FootTrack> cut;
    for (const FootTrack& foot : feet) {
        FootTrack part{foot.side, {}, {}};
        for (const auto& [from, to] : {std::pair{&foot.heel, &part.heel}, {&foot.toe, &part.toe}}) {
            for (std::size_t i = 0; i < from->frames.size(); ++i) {
                if (from->frames[i] >= first && from->frames[i] <= last) {
                    to->frames.push_back(from->frames[i]);
                    to->points.push_back(from->points[i]);
                }
            }
        }
        cut.push_back(std::move(part));
    }
    return cut;
}

// The events of one side and kind as true moments in frames.
std::vector<double> TrueMoments(const RealisticWalk& walk, FootSide side, GaitEventKind kind) {
    std::vector<double> moments;
    for (const TrueEvent& t : walk.events) {
        if (t.side == side && t.kind == kind) {
            moments.push_back(t.seconds * walk.fps);
        }
    }
    return moments;
}

TEST(GaitEventsRealisticTest, RangeEndsInStanceAndGapsLeaveTheUndecidableEventOut) {
    WalkOptions options;
    options.seed = 3;
    const RealisticWalk walk = MakeRealisticWalk(options);
    const std::vector<double> strikes =
        TrueMoments(walk, FootSide::kRight, GaitEventKind::kHeelStrike);
    const std::vector<double> toeOffs = TrueMoments(walk, FootSide::kRight, GaitEventKind::kToeOff);
    ASSERT_GE(strikes.size(), 3u);
    // A right stance in the middle of the walk and the toe-off that ends it.
    const double strike = strikes[1];
    double toeOff = 0.0;
    for (const double t : toeOffs) {
        toeOff = toeOff == 0.0 && t > strike ? t : toeOff;
    }
    const int midStance = static_cast<int>(std::lround((strike + toeOff) / 2));

    struct Case {
        const char* label;
        int first, last;
        double noEventFrom, noEventTo;  // no right event of this kind with a moment in here
        GaitEventKind kind;
    };
    for (const Case& c :
         {Case{"starts in stance", midStance, walk.frames - 1, 0.0, toeOff - 2,
               GaitEventKind::kHeelStrike},
          Case{"ends in stance", 0, midStance, strike + 2, 1e9, GaitEventKind::kToeOff},
          // Decided only with frames after it: found close, or left out.
          Case{"ends as the toe leaves", 0, static_cast<int>(std::ceil(toeOff)), 1e9, 1e9,
               GaitEventKind::kToeOff}}) {
        const std::vector<FootTrack> feet = Cut(walk.feet, c.first, c.last);
        const EventDetection detection = DetectGaitEvents(feet, {walk.fps, 0.0});
        ASSERT_TRUE(detection.error.empty()) << c.label << ": " << detection.error;
        for (const GaitEvent& e : detection.events) {
            EXPECT_FALSE(e.side == FootSide::kRight && e.kind == c.kind &&
                         e.moment >= c.noEventFrom && e.moment <= c.noEventTo)
                << c.label << ": " << EventName(e.kind) << " at " << e.moment;
        }
        // What the data do decide is still found: nothing but true events, all of them away
        // from the cut.
        const Errors errors = Compare(detection.events, walk);
        EXPECT_EQ(errors.invented, 0) << c.label;
        EXPECT_LE(errors.worstFrames, 1) << c.label;
    }

    // A marker hidden around its event: nothing is found inside the gap, the rest still is.
    for (const bool toe : {false, true}) {
        const double at = (toe ? toeOff : strike) / walk.fps;
        WalkOptions gapped = options;
        gapped.gap = MarkerGap{FootSide::kRight, toe, at - 0.1, at + 0.1};
        const RealisticWalk hidden = MakeRealisticWalk(gapped);
        const EventDetection detection = DetectGaitEvents(hidden.feet, {hidden.fps, 0.0});
        ASSERT_TRUE(detection.error.empty()) << detection.error;
        int found = 0;
        for (const GaitEvent& e : detection.events) {
            const bool sameMarker =
                e.side == FootSide::kRight &&
                e.kind == (toe ? GaitEventKind::kToeOff : GaitEventKind::kHeelStrike);
            EXPECT_FALSE(sameMarker && std::abs(e.moment / hidden.fps - at) <= 0.1)
                << (toe ? "toe" : "heel") << " gap: " << EventName(e.kind) << " at " << e.moment;
            found += sameMarker ? 1 : 0;
        }
        const Errors errors = Compare(detection.events, hidden);
        EXPECT_EQ(errors.invented, 0);
        EXPECT_LE(errors.worstFrames, 1);
        EXPECT_GE(found, 2) << "the marker's other events are still found";
    }
}

TEST(GaitEventTest, MomentDefaultsToTheFrameAndNeverTellsEventsApart) {
    using enum GaitEventKind;
    const GaitEvent given{41, FootSide::kLeft, kToeOff};
    EXPECT_DOUBLE_EQ(given.moment, 41.0);
    const GaitEvent found{41, FootSide::kLeft, kToeOff, 41.37};
    EXPECT_EQ(given, found);
    EXPECT_FALSE(given < found || found < given);
    struct Case {
        GaitEvent a, b;  // a before b
    };
    for (const Case& c :
         {Case{{40, FootSide::kLeft, kToeOff, 40.4}, {41, FootSide::kRight, kHeelStrike, 40.6}},
          Case{{41, FootSide::kRight, kToeOff, 41.4}, {41, FootSide::kLeft, kHeelStrike, 40.6}},
          Case{{41, FootSide::kLeft, kHeelStrike, 41.4}, {41, FootSide::kLeft, kToeOff, 40.6}}}) {
        EXPECT_LT(c.a, c.b);
        EXPECT_NE(c.a, c.b);
    }
}

}  // namespace
