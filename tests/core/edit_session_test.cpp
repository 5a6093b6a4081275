// The editing session without a window: the trimming workflow from the first area click to the
// preview's geometry, the mode change and its question, and requests that are refused leaving
// everything as it was and telling no one.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <type_traits>
#include <utility>
#include <vector>

#include "markers/trimming_state.h"
#include "session/edit_session.h"
#include "settings/inifile_manager.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::EditSession;
using kivra::ModeRequest;
using kivra::PixelRect;

constexpr int kFrames = 120;
constexpr int kDirection = kivra::kPortrait;

class Recorder : public kivra::SessionObserver {
public:
    void SessionChanged(unsigned changes) override { seen.push_back(changes); }
    std::vector<unsigned> seen;
};

class EditSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_annotations->m_markers.LoadMarkers(m_dir.File("walk.lff"), 10);
        m_session.AddObserver(&m_recorder);
        m_session.StartVideo(kFrames);
        m_recorder.seen.clear();
    }
    void TearDown() override { m_session.RemoveObserver(&m_recorder); }

    // Everything a refused request must leave alone.
    struct Snapshot {
        kivra::TrimmingState state;
        kivra::ViewMode viewMode;
        int areaIndex;
        int stored;
        std::vector<PixelRect> rects;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot Take() const {
        std::vector<PixelRect> rects;
        for (int f = 0; f < m_annotations->m_trimParam.GetSize(); ++f) {
            rects.push_back(m_annotations->m_trimParam.At(f));
        }
        return {m_session.CurrentTrimmingState(), m_session.GetViewMode(), m_session.AreaIndex(),
                m_session.StoredTrimmingMode(), rects};
    }

    void SetBothAreas() {
        m_session.ToggleAreaMode();
        ASSERT_TRUE(m_session.SetArea(0, {100, 60, 160, 140}, 0));
        ASSERT_TRUE(m_session.SetArea(1, {400, 50, 480, 156}, kFrames - 1));
    }

    kivra::test::TempDir m_dir;
    std::unique_ptr<VideoAnnotations> m_annotations = std::make_unique<VideoAnnotations>();
    EditSession m_session{[this] { return m_annotations.get(); }};
    Recorder m_recorder;
};

TEST_F(EditSessionTest, AreaClicksInterpolateAndPreviewPlacesEachFrame) {
    m_session.ToggleAreaMode();
    EXPECT_EQ(m_session.GetViewMode(), kivra::kAreaMode);
    ASSERT_TRUE(m_session.SetArea(0, {100, 60, 160, 140}, 0));
    EXPECT_EQ(m_session.AreaIndex(), 1) << "area 2 is next";
    EXPECT_EQ(m_annotations->m_trimParam.GetSize(), 0) << "nothing to interpolate yet";

    const Snapshot before = Take();
    m_recorder.seen.clear();
    EXPECT_FALSE(m_session.SetArea(1, {400, 50, 480, 156}, 0)) << "area 1's frame";
    EXPECT_FALSE(m_session.SetArea(1, {400, 50, 400, 156}, 60)) << "empty box";
    EXPECT_FALSE(m_session.SetArea(1, {400, 50, 480, 156}, kFrames)) << "past the end";
    EXPECT_FALSE(m_session.SetArea(2, {400, 50, 480, 156}, 60));
    EXPECT_EQ(Take(), before);
    EXPECT_TRUE(m_recorder.seen.empty());

    ASSERT_TRUE(m_session.SetArea(1, {400, 50, 480, 156}, kFrames - 1));
    EXPECT_EQ(m_session.GetViewMode(), kivra::kNormalMode) << "setting area 2 ends area mode";
    EXPECT_EQ(m_session.AreaIndex(), 0);
    ASSERT_EQ(m_recorder.seen.size(), 1u);
    EXPECT_NE(m_recorder.seen[0] & kivra::kChangeAreas, 0u);

    // The per-frame rectangles are exactly the ones the geometry builds from the two areas.
    CTrimmingParam expected;
    ASSERT_TRUE(kivra::InterpolateTrimRects(m_session.Area1(), m_session.Area2(), kivra::kSideMode,
                                            kDirection, kFrames, expected));
    ASSERT_EQ(m_annotations->m_trimParam.GetSize(), kFrames);
    for (int f = 0; f < kFrames; ++f) {
        ASSERT_EQ(m_annotations->m_trimParam.At(f), expected.At(f)) << "frame " << f;
    }
    EXPECT_EQ(m_annotations->m_trimParam.At(0), m_session.Area1().rect);
    EXPECT_EQ(m_annotations->m_trimParam.At(kFrames - 1), m_session.Area2().rect);

    // Preview: frame 60's rectangle lies inside a 640x480 picture and fills the whole output.
    m_session.TogglePreview();
    EXPECT_EQ(m_session.GetViewMode(), kivra::kPreviewMode);
    const kivra::TrimPlacement place =
        kivra::PlaceTrimRect(m_annotations->m_trimParam.At(60), 640, 480, 240, 320);
    EXPECT_EQ(place.source, m_annotations->m_trimParam.At(60));
    EXPECT_EQ(place.dest, (kivra::ViewRect{0, 0, 240, 320}));

    // Another direction reshapes both areas and the list follows.
    m_session.SetOutput(m_session.SizeType(), kivra::kLandscape);
    EXPECT_GT(m_session.Area1().rect.Width(), m_session.Area1().rect.Height());
    EXPECT_EQ(m_annotations->m_trimParam.At(0), m_session.Area1().rect);
}

TEST_F(EditSessionTest, ModeChangeAsksWhileAreasAreSetAndNoChangesNothing) {
    int asked = 0;
    const auto answer = [&asked](bool yes) {
        return [&asked, yes] {
            ++asked;
            return yes;
        };
    };
    // Without areas the mode simply changes.
    EXPECT_EQ(m_session.RequestTrimmingMode(kivra::kFrontMode, answer(false)),
              ModeRequest::kChanged);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(m_session.RequestTrimmingMode(kivra::kFrontMode, answer(false)),
              ModeRequest::kUnchanged);

    SetBothAreas();
    m_session.TogglePreview();
    const Snapshot before = Take();
    m_recorder.seen.clear();
    EXPECT_EQ(m_session.RequestTrimmingMode(kivra::kSideMode, answer(false)),
              ModeRequest::kRefused);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Take(), before);
    EXPECT_TRUE(m_recorder.seen.empty());

    EXPECT_EQ(m_session.RequestTrimmingMode(kivra::kSideMode, answer(true)), ModeRequest::kChanged);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(m_session.GetTrimmingMode(), kivra::kSideMode);
    EXPECT_FALSE(m_session.Area1().IsSet());
    EXPECT_FALSE(m_session.Area2().IsSet());
    EXPECT_EQ(m_session.GetViewMode(), kivra::kNormalMode) << "preview needs the areas";

    // A number no mode has counts as side; refusing keeps the number as it was.
    m_session.LoadTrimmingMode(5);
    ASSERT_TRUE(m_session.SetArea(0, {100, 60, 160, 140}, 3));
    EXPECT_EQ(m_session.RequestTrimmingMode(kivra::kSideMode, answer(false)),
              ModeRequest::kRefused);
    EXPECT_EQ(m_session.StoredTrimmingMode(), 5);
}

TEST_F(EditSessionTest, RangeAndMarkerRequestsRefuseWhatCannotBe) {
    EXPECT_EQ(m_session.RangeStart(), 0);
    EXPECT_EQ(m_session.RangeEnd(), kFrames - 1);
    const Snapshot before = Take();
    EXPECT_FALSE(m_session.SetPlayRange(10, 10));
    EXPECT_FALSE(m_session.SetPlayRange(20, 10));
    EXPECT_FALSE(m_session.SetPlayRange(-1, 10));
    EXPECT_FALSE(m_session.SetPlayRange(10, kFrames));
    EXPECT_FALSE(m_session.SetAreaIndex(1)) << "area 2 only after area 1";
    EXPECT_FALSE(m_session.SetMarker(0, 5, 1, 1));
    EXPECT_FALSE(m_session.SetMarker(11, 5, 1, 1)) << "10 IDs";
    EXPECT_FALSE(m_session.SetMarker(3, kFrames, 1, 1));
    EXPECT_FALSE(m_session.DeleteMarker(3, 5));
    EXPECT_FALSE(m_session.DeleteFrameMarkers(5));
    EXPECT_FALSE(m_session.DeleteMarkerAllFrames(3));
    EXPECT_EQ(Take(), before);
    EXPECT_TRUE(m_recorder.seen.empty());
    EXPECT_FALSE(m_annotations->m_markers.IsModified());

    ASSERT_TRUE(m_session.SetPlayRange(10, 50));
    ASSERT_TRUE(m_session.SetMarker(3, 12, 40.5, 60.25));
    ASSERT_TRUE(m_session.SetMarkerFillingSkipped(3, 16, 48.5, 68.25, 5));
    EXPECT_EQ(m_annotations->m_markers.Row(2).size(), 5u) << "13, 14 and 15 filled";
    ASSERT_TRUE(m_session.SetMarker(4, 16, 1, 2));
    EXPECT_TRUE(m_annotations->m_markers.IsModified());
    ASSERT_TRUE(m_session.DeleteFrameMarkers(16));
    EXPECT_FALSE(m_annotations->m_markers.HasMarkers(16));
    ASSERT_TRUE(m_session.DeleteMarkerAllFrames(3));
    EXPECT_FALSE(m_annotations->m_markers.AnyMarkers());
    for (const unsigned changes : m_recorder.seen) {
        EXPECT_NE(changes & (kivra::kChangeRange | kivra::kChangeMarkers), 0u);
    }

    // Without a video nothing is taken, and the range reads as none.
    m_session.EndVideo();
    m_annotations.reset();
    EXPECT_EQ(m_session.RangeStart(), -1);
    EXPECT_EQ(m_session.GetViewMode(), kivra::kNoVideo);
    EXPECT_FALSE(m_session.SetPlayRange(0, 5));
    EXPECT_FALSE(m_session.SetMarker(1, 0, 1, 1));
    EXPECT_FALSE(m_session.SetViewMode(kivra::kPreviewMode));
    EXPECT_FALSE(m_session.DeleteAllMarkers());
}

TEST_F(EditSessionTest, TrimmingStateSurvivesTheMarkerFile) {
    SetBothAreas();
    ASSERT_TRUE(m_session.SetPlayRange(7, 99));
    ASSERT_TRUE(m_session.SetMosaicType(3));
    ASSERT_EQ(m_session.RequestTrimmingMode(kivra::kFrontMode, [] { return true; }),
              ModeRequest::kChanged);
    SetBothAreas();  // cleared by the new mode
    m_session.SetOutput(1, kDirection);
    kivra::StoreTrimmingState(m_annotations->m_markers, m_session.CurrentTrimmingState());
    ASSERT_TRUE(m_annotations->m_markers.SaveMarkers(m_dir.File("walk.lff")));
    const Snapshot saved = Take();

    // Another session on the file restores the same state and the same rectangles.
    auto reopened = std::make_unique<VideoAnnotations>();
    ASSERT_EQ(reopened->m_markers.LoadMarkers(m_dir.File("walk.lff"), 10), CLFFManager::kLoaded);
    EditSession session([&reopened] { return reopened.get(); });
    session.StartVideo(kFrames);
    session.RestoreTrimmingState(kivra::TrimmingStateFromMarkers(reopened->m_markers, kFrames));
    EXPECT_EQ(session.CurrentTrimmingState(), saved.state);
    // What a save would write now is what the file holds: restoring is no change to save.
    EXPECT_EQ(session.CurrentTrimmingState(),
              kivra::TrimmingStateFromMarkers(reopened->m_markers, kFrames));
    EXPECT_EQ(session.StoredTrimmingMode(), kivra::kFrontMode);
    EXPECT_EQ(session.SizeType(), 1);
    EXPECT_EQ(session.MosaicType(), 3);
    ASSERT_EQ(reopened->m_trimParam.GetSize(), kFrames);
    for (int f = 0; f < kFrames; ++f) {
        ASSERT_EQ(reopened->m_trimParam.At(f), saved.rects[size_t(f)]) << "frame " << f;
    }
}

// Every part of the marker file's header shows in the state a save writes, and taking an edit
// back (as the undo history does) returns to the state as saved.
TEST_F(EditSessionTest, TrimmingChangesShowInTheStateASaveWritesUntilTakenBack) {
    std::vector<kivra::SessionEdit> edits;
    m_session.SetEditListener([&edits](kivra::SessionEdit edit) { edits.push_back(edit); });
    const kivra::TrimmingState saved = m_session.CurrentTrimmingState();
    const auto unchanged = [&] { return m_session.CurrentTrimmingState() == saved; };
    const auto undoAll = [&] {
        for (auto edit = edits.rbegin(); edit != edits.rend(); ++edit) {
            m_session.ApplyAnnotationState(edit->before);
        }
    };

    SetBothAreas();
    ASSERT_EQ(edits.size(), 2u);
    EXPECT_FALSE(unchanged());
    undoAll();
    EXPECT_TRUE(unchanged());
    m_session.ApplyAnnotationState(edits[0].after);
    EXPECT_FALSE(unchanged()) << "area 1 alone";
    m_session.ApplyAnnotationState(edits[0].before);
    ASSERT_TRUE(unchanged());

    edits.clear();
    ASSERT_TRUE(m_session.SetMosaicType(3));
    EXPECT_FALSE(unchanged());
    undoAll();
    EXPECT_TRUE(unchanged());

    ASSERT_TRUE(m_session.SetPlayRange(7, 99));
    EXPECT_FALSE(unchanged());
    ASSERT_TRUE(m_session.SetPlayRange(0, kFrames - 1));
    EXPECT_TRUE(unchanged());

    ASSERT_EQ(m_session.RequestTrimmingMode(kivra::kFrontMode, [] { return true; }),
              ModeRequest::kChanged);
    EXPECT_FALSE(unchanged());
    ASSERT_EQ(m_session.RequestTrimmingMode(kivra::kSideMode, [] { return true; }),
              ModeRequest::kChanged);
    EXPECT_TRUE(unchanged());

    // The output settings are written beside them.
    m_session.SetOutput(saved.sizeType, saved.direction == 0 ? 1 : 0);
    EXPECT_FALSE(unchanged());
    m_session.SetOutput(saved.sizeType + 1, saved.direction);
    EXPECT_FALSE(unchanged());
}

// The session is the one place these are assigned: its state is read through a const view, and
// the annotations no longer keep a mosaic type of their own.
static_assert(std::is_same_v<decltype(std::declval<const EditSession&>().CurrentTrimmingState()),
                             const kivra::TrimmingState&>);
template <class T>
constexpr bool kKeepsMosaicType = requires(T& a) {
    a.m_nMosaicType;
};
static_assert(!kKeepsMosaicType<VideoAnnotations>);

// The settings file's trimming choices come into the session at start, carry from one video to
// the next (a marker file's header overriding them) and go back into the file unchanged in
// layout.
TEST(EditSessionSettingsTest, ChoicesComeFromTheSettingsFileAndGoBackIntoIt) {
    kivra::test::TempDir dir;
    const std::string ini = dir.File("Kivra.ini");
    std::ofstream(ini) << "[Trimming]\nMode=1\nSizeType=2\nDirection=1\nLengthFromCenter1=40\n"
                          "LengthFromCenter2=60\nFilterIndex=1\nMosaicRectType=0\nDeinterlace=0\n";
    auto annotations = std::make_unique<VideoAnnotations>();
    EditSession session([&annotations] { return annotations.get(); });
    std::vector<kivra::SessionEdit> edits;
    session.SetEditListener([&edits](kivra::SessionEdit edit) { edits.push_back(edit); });
    {
        CInifileManager settings(ini);
        settings.LoadSettings();
        session.LoadSettings(settings.Trimming(), settings.MarkerId().maxId);
        EXPECT_EQ(session.GetTrimmingMode(), kivra::kFrontMode);
        EXPECT_EQ(session.OutputSize(), std::make_pair(1440, 1080));
        EXPECT_EQ(session.MosaicType(), 0);
        EXPECT_EQ(session.AreaBoxHalfSize(0), 40);
        EXPECT_EQ(session.AreaBoxHalfSize(1), 60);

        // Without a video a new shape is no edit to take back, and the next video starts with it.
        EXPECT_TRUE(session.SetMosaicType(2));
        session.SetOutput(1, kivra::kPortrait);
        EXPECT_TRUE(edits.empty());
        session.StartVideo(kFrames);
        EXPECT_EQ(session.MosaicType(), 2);
        EXPECT_EQ(session.OutputSize(), std::make_pair(768, 1024));

        // A marker file's header wins, and stays for the video after.
        kivra::TrimmingState stored = session.CurrentTrimmingState();
        stored.mode = kivra::kSideMode;
        stored.direction = kivra::kLandscape;
        stored.mosaicType = 3;
        session.RestoreTrimmingState(stored);
        session.SetAreaBoxHalfSize(1, 33);
        session.EndVideo();
        session.StartVideo(kFrames);
        EXPECT_EQ(session.CurrentTrimmingState().mosaicType, 3);
        session.StoreSettings(settings.Trimming());
    }  // written back as the program's end does
    std::ifstream in(ini);
    const std::string written((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(
        written.find("[Trimming]\nMode=0\nSizeType=1\nDirection=1\nLengthFromCenter1=40\n"
                     "LengthFromCenter2=33\nFilterIndex=1\nMosaicRectType=3\nDeinterlace=0\n"),
        std::string::npos)
        << written;
}

}  // namespace

namespace {

// Everything an edit may touch, whole.
struct FullState {
    CLFFManager::RowsState markers;
    kivra::AreaState area1;
    kivra::AreaState area2;
    CTrimmingParam rects;
    int mosaic = 0;
    bool operator==(const FullState&) const = default;
};

FullState Whole(const EditSession& session, const VideoAnnotations& annotations) {
    std::vector<int> rows(size_t(annotations.m_markers.GetRowCount()));
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i] = int(i);
    }
    return {annotations.m_markers.CaptureRows(rows), session.Area1(), session.Area2(),
            annotations.m_trimParam, session.MosaicType()};
}

TEST_F(EditSessionTest, RandomEditsUndoToTheStartAndRedoToTheEnd) {
    std::vector<kivra::SessionEdit> edits;
    m_session.SetEditListener([&edits](kivra::SessionEdit edit) { edits.push_back(edit); });
    std::vector<FullState> states{Whole(m_session, *m_annotations)};
    std::mt19937 random(20261208);
    const auto pick = [&random](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    for (int step = 0; step < 400; ++step) {
        const size_t known = edits.size();
        const int id = pick(1, 10);
        const int frame = pick(0, kFrames - 1);
        switch (pick(0, 11)) {
            case 0:
            case 1:
            case 2:
                m_session.SetMarker(id, frame, pick(0, 6400) / 10.0, pick(0, 4800) / 10.0);
                break;
            case 3:
                m_session.SetMarkerFillingSkipped(id, frame, pick(0, 640), pick(0, 480), 6);
                break;
            case 4:
                m_session.DeleteMarker(id, frame);
                break;
            case 5:
                m_session.DeleteFrameMarkers(frame);
                break;
            case 6:
                m_session.DeleteMarkerAllFrames(id);
                break;
            case 7:
                if (pick(0, 9) == 0) {
                    m_session.DeleteAllMarkers();
                }
                break;
            case 8: {
                const int x = pick(0, 500);
                m_session.SetArea(pick(0, 1), {x, 40, x + pick(20, 120), 200}, frame);
                break;
            }
            case 9:
                m_session.ClearAreas();
                break;
            case 10:
                m_session.SetMosaicType(pick(0, 3));
                break;
            case 11:
                // A drag: many moves of one marker, one step.
                m_session.BeginEditGroup(kivra::EditKind::kMoveMarker);
                for (int i = 0; i < 5; ++i) {
                    m_session.SetMarker(id, frame, 10.0 * i, 5.0 * i);
                }
                m_session.EndEditGroup();
                ASSERT_LE(edits.size(), known + 1);
                break;
        }
        if (edits.size() > known) {
            ASSERT_EQ(edits.size(), known + 1) << "one request, one step";
            states.push_back(Whole(m_session, *m_annotations));
        } else {
            ASSERT_EQ(Whole(m_session, *m_annotations), states.back()) << "nothing done, no step";
        }
    }
    ASSERT_GT(edits.size(), 200u);
    const std::vector<kivra::SessionEdit> history = edits;
    for (size_t i = history.size(); i-- > 0;) {
        m_session.ApplyAnnotationState(history[i].before);
        ASSERT_EQ(Whole(m_session, *m_annotations), states[i]) << "undo to step " << i;
    }
    for (size_t i = 0; i < history.size(); ++i) {
        m_session.ApplyAnnotationState(history[i].after);
        ASSERT_EQ(Whole(m_session, *m_annotations), states[i + 1]) << "redo of step " << i;
    }
    EXPECT_EQ(edits.size(), history.size()) << "undo and redo record nothing";
    m_session.SetEditListener({});
}

}  // namespace
