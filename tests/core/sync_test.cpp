// Keeping two videos of one walk in step: the frame link at every pair of rates, the offset
// recovered from sound, a flash and heel strikes of synthetic pairs with a known offset, the
// .ksync file, and kivra-cli sync on them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "direct/direct_reader.h"
#include "direct/frame_index.h"
#include "gait/gait_file.h"
#include "markers/lff_manager.h"
#include "platform/path_util.h"
#include "reading/avi_video_stream.h"
#include "realistic_walk.h"
#include "support/ffmpeg_tool.h"
#include "sync/audio_sync.h"
#include "sync/event_sync.h"
#include "sync/flash_sync.h"
#include "sync/sync_session.h"

namespace {

using kivra::FrameLink;
using kivra::SyncOffset;
using kivra::VideoClock;
using kivra::test::RunFfmpeg;
using kivra::test::TempDir;

SyncOffset Offset(const char* text) {
    const auto offset = SyncOffset::Parse(text);
    EXPECT_TRUE(offset.has_value()) << text;
    return offset.value_or(SyncOffset());
}

// a - b as a sign, through the fractions themselves.
int Compare(const SyncOffset& a, const SyncOffset& b) {
    const SyncOffset difference = a.Plus(b.Negated()).value();
    return difference.Numerator() > 0 ? 1 : difference.Numerator() < 0 ? -1 : 0;
}

const VideoClock kClocks[] = {{25, 1, 300}, {30, 1, 300},   {50, 1, 600},
                              {60, 1, 700}, {120, 1, 1400}, {30000, 1001, 400}};

// The frame linked to each frame of A is the last of B that starts at or before that moment,
// for every pair of rates and offsets that fall on frame starts, between them, and before B.
TEST(FrameLinkTest, LinkedFrameIsTheLastStartedAtEveryRatePair) {
    for (const VideoClock& a : kClocks) {
        for (const VideoClock& b : kClocks) {
            for (const char* text : {"0", "0.35", "-1.001", "1001/60000", "7/3"}) {
                const SyncOffset offset = Offset(text);
                const FrameLink link(a, b, offset);
                SCOPED_TRACE(std::to_string(a.rate) + "/" + std::to_string(a.scale) + " -> " +
                             std::to_string(b.rate) + "/" + std::to_string(b.scale) + " " + text);
                for (int fa = 0; fa < 250; ++fa) {
                    const SyncOffset moment =
                        SyncOffset::FrameStart(a, fa).value().Plus(offset).value();
                    const kivra::LinkedFrame linked = link.BFromA(fa);
                    const SyncOffset start = SyncOffset::FrameStart(b, linked.frame).value();
                    const SyncOffset next = SyncOffset::FrameStart(b, linked.frame + 1).value();
                    if (Compare(moment, SyncOffset()) < 0) {
                        ASSERT_TRUE(linked.clamped && linked.frame == 0) << fa;
                        continue;
                    }
                    if (Compare(moment, SyncOffset::FrameStart(b, b.frames).value()) >= 0) {
                        ASSERT_TRUE(linked.clamped && linked.frame == b.frames - 1) << fa;
                        continue;
                    }
                    ASSERT_FALSE(linked.clamped) << fa;
                    ASSERT_LE(Compare(start, moment), 0) << fa;
                    ASSERT_GT(Compare(next, moment), 0) << fa;
                    // Back again: A's frame current at the start of B's is at most fa.
                    ASSERT_LE(link.AFromB(linked.frame).frame, fa) << fa;
                }
                // A frame given by hand links exactly to its partner, whatever the rates.
                const SyncOffset byHand = SyncOffset::FromFrames(a, 40, b, 97).value();
                EXPECT_EQ(FrameLink(a, b, byHand).BFromA(40).frame, 97);
                EXPECT_EQ(FrameLink(a, b, byHand).AFromB(97).frame, 40);
            }
        }
    }
}

TEST(FrameLinkTest, KnownFramesOffsetInFramesAndClamping) {
    struct Row {
        VideoClock a, b;
        const char* offset;
        int frameA, frameB;
        bool clamped;
    };
    const Row rows[] = {
        {{25, 1, 300}, {60, 1, 700}, "0", 1, 2, false},              // 0.04 s: 2.4 frames
        {{30000, 1001, 400}, {50, 1, 600}, "0.199", 30, 60, false},  // 1.001 + 0.199 = 1.2
        {{30000, 1001, 400}, {50, 1, 600}, "0.199", 29, 58, false},
        {{60, 1, 700}, {25, 1, 300}, "-0.4", 12, 0, true},                // before B begins
        {{25, 1, 300}, {60, 1, 700}, "100", 0, 699, true},                // after B ends
        {{120, 1, 1400}, {30000, 1001, 400}, "-1001/30000", 4, 0, true},  // 1/30000 s before
        {{120, 1, 1400}, {30000, 1001, 400}, "-1001/30000", 9, 1, false},
    };
    for (const Row& row : rows) {
        const kivra::LinkedFrame linked =
            FrameLink(row.a, row.b, Offset(row.offset)).BFromA(row.frameA);
        EXPECT_EQ(linked.frame, row.frameB) << row.offset << " " << row.frameA;
        EXPECT_EQ(linked.clamped, row.clamped) << row.offset << " " << row.frameA;
    }
    EXPECT_DOUBLE_EQ(Offset("0.35").InFrames({25, 1, 1}), 8.75);
    EXPECT_DOUBLE_EQ(Offset("0.35").InFrames({60, 1, 1}), 21.0);
    EXPECT_NEAR(Offset("1001/30000").InFrames({30000, 1001, 1}), 1.0, 1e-12);
}

TEST(SyncOffsetTest, TextIsExactAndParsedBackOthersRefused) {
    const std::pair<std::pair<int64_t, int64_t>, const char*> written[] = {
        {{7, 20}, "0.35"},      {{-1001, 30000}, "-1001/30000"},
        {{1, 8}, "0.125"},      {{-5, 1}, "-5"},
        {{0, 3}, "0"},          {{1, 3}, "1/3"},
        {{-3, 400}, "-0.0075"},
    };
    for (const auto& [fraction, text] : written) {
        const SyncOffset offset = SyncOffset::Make(fraction.first, fraction.second).value();
        EXPECT_EQ(offset.Text(), text);
        EXPECT_EQ(SyncOffset::Parse(text), offset) << text;
    }
    for (const char* bad : {"", "-", "1.2.3", "abc", "1/0", "0x10", "--1", "1e5", " 1", "1 ", ".5",
                            "1.", "1/", "1/-2", "2000000", "99999999999999999999"}) {
        EXPECT_FALSE(SyncOffset::Parse(bad).has_value()) << bad;
    }
}

// Heel strikes of a walk at 25 fps seen by a 60 fps camera 0.5 s later; B misses one strike
// and sees one that A does not.
TEST(EventSyncTest, MostStrikesAgreeDespiteMissedAndExtra) {
    using kivra::FootSide;
    using kivra::GaitEvent;
    using kivra::GaitEventKind;
    const VideoClock a{25, 1, 300};
    const VideoClock b{60, 1, 700};
    const auto strike = [](double moment, FootSide side) {
        GaitEvent event{int(std::lround(moment)), side, GaitEventKind::kHeelStrike};
        event.moment = moment;
        return event;
    };
    std::vector<GaitEvent> inA, inB;
    for (const double frame : {10.0, 38.3, 66.0, 94.6}) {
        inA.push_back(strike(frame, FootSide::kRight));
        if (frame != 66.0) {
            inB.push_back(strike((frame / 25 + 0.5) * 60, FootSide::kRight));
        }
    }
    for (const double frame : {24.0, 52.0, 80.4}) {
        inA.push_back(strike(frame, FootSide::kLeft));
        inB.push_back(strike((frame / 25 + 0.5) * 60, FootSide::kLeft));
    }
    inB.push_back(strike(200.0, FootSide::kLeft));
    inA.push_back({30, FootSide::kRight, GaitEventKind::kToeOff});  // not a strike: ignored
    const kivra::SyncEstimate found = kivra::FindEventOffset(inA, a, inB, b, 10.0);
    ASSERT_TRUE(found.found) << found.why;
    EXPECT_NEAR(found.offset.Seconds(), 0.5, 1e-5);
    EXPECT_EQ(found.agreeing, 6);

    // The truth beyond the range searched, and too few strikes, are refused with a reason.
    const kivra::SyncEstimate narrow = kivra::FindEventOffset(inA, a, inB, b, 0.2);
    EXPECT_FALSE(narrow.found);
    EXPECT_FALSE(narrow.why.empty());
    const kivra::SyncEstimate few = kivra::FindEventOffset({inA.front()}, a, inB, b, 10.0);
    EXPECT_FALSE(few.found);
    EXPECT_FALSE(few.why.empty());
}

// The feet as a camera started `frames` frames late films them.
std::vector<kivra::FootTrack> Late(std::vector<kivra::FootTrack> feet, int frames) {
    for (kivra::FootTrack& foot : feet) {
        for (kivra::MarkerTrack* track : {&foot.heel, &foot.toe}) {
            for (int& frame : track->frames) {
                frame -= frames;
            }
            const auto first = std::find_if(track->frames.begin(), track->frames.end(),
                                            [](int frame) { return frame >= 0; });
            const auto cut = first - track->frames.begin();
            track->frames.erase(track->frames.begin(), first);
            track->points.erase(track->points.begin(), track->points.begin() + cut);
        }
    }
    return feet;
}

// One walk filmed from the side at 25 fps and at 60 fps, the 25 fps camera started 10 frames
// (0.4 s) late, each video's strikes detected from its own markers.
TEST(EventSyncTest, OneRealisticWalkSeenByTwoCameras) {
    for (const int direction : {1, -1}) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            const auto walkA = kivra::walks::MakeRealisticWalk({25.0, direction, 5.0, seed});
            const auto walkB = kivra::walks::MakeRealisticWalk({60.0, direction, 5.0, seed});
            const std::vector<kivra::FootTrack> lateA = Late(walkA.feet, 10);
            const auto eventsA = kivra::DetectGaitEvents(lateA, {25.0, 0.0});
            const auto eventsB = kivra::DetectGaitEvents(walkB.feet, {60.0, 0.0});
            ASSERT_TRUE(eventsA.error.empty() && eventsB.error.empty()) << seed;
            const kivra::SyncEstimate found =
                kivra::FindEventOffset(eventsA.events, {25, 1, walkA.frames - 10}, eventsB.events,
                                       {60, 1, walkB.frames}, 10.0);
            ASSERT_TRUE(found.found) << seed << ": " << found.why;
            EXPECT_NEAR(found.offset.Seconds(), 0.4, 1.0 / 60) << seed;
            EXPECT_GE(found.agreeing, 3) << seed;
        }
    }
}

// A clinic's pair made by ffmpeg: gray pictures with one white flash and 1 kHz clicks at
// uneven times, B seeing and hearing everything `offset` seconds after A. The flash starts on
// a frame of each video, so the flash's own offset is exact.
struct MadePair {
    const char* rateA;
    const char* rateB;
    const char* offset;
    double flashA;  // seconds, a frame start of A; + offset is one of B
    const char* nameA;
    const char* nameB;
};

std::string Clicks(double offset) {
    std::string expression;
    for (const double at : {0.8, 1.9, 2.6, 4.1, 4.75}) {
        const std::string t = std::to_string(at + offset);
        expression += (expression.empty() ? "" : "+") + std::string("sin(2*PI*1000*(t-") + t +
                      "))*between(t\\," + t + "\\," + t + "+0.03)";
    }
    return expression;
}

// Writes one video of the pair: picture and, with sound, the clicks.
bool MakeVideo(const std::string& path, const char* rate, double flash, double offset, bool sound,
               int sampleRate) {
    const std::string from = std::to_string(flash + offset - 0.001);
    const std::string to = std::to_string(flash + offset + 0.1);
    std::vector<std::string> args = {"-f", "lavfi", "-i",
                                     std::string("color=c=gray:s=64x48:d=6:r=") + rate +
                                         ",drawbox=c=white:t=fill:enable='between(t," + from + "," +
                                         to + ")'"};
    if (sound) {
        args.insert(args.end(),
                    {"-f", "lavfi", "-i",
                     "aevalsrc=exprs=" + Clicks(offset) + ":d=6:s=" + std::to_string(sampleRate)});
    }
    const bool mp4 = path.ends_with(".mp4");
    args.insert(args.end(), {"-c:v", mp4 ? "mpeg4" : "mjpeg"});
    if (sound) {
        args.insert(args.end(), {"-c:a", mp4 ? "aac" : "pcm_s16le"});
    }
    args.push_back(path);
    return RunFfmpeg(args);
}

std::unique_ptr<CAviVideoStream> OpenStream(const std::string& path) {
    auto stream = std::make_unique<CAviVideoStream>(path);
    if (stream->OpenStream() == CAviVideoStream::kOpened) {
        return stream;
    }
    const auto index = kivra::BuildFrameIndex(path, {}, {}, nullptr, nullptr);
    auto reader = index ? kivra::DirectReader::Open(index, nullptr) : nullptr;
    stream = std::make_unique<CAviVideoStream>(path);
    if (!reader || stream->OpenReader(std::move(reader)) != CAviVideoStream::kOpened) {
        return nullptr;
    }
    return stream;
}

VideoClock ClockOf(const CAviVideoStream& stream) {
    return {stream.FileInfo().dwRate, stream.FileInfo().dwScale, stream.GetFrameCount()};
}

class MadePairTest : public testing::TestWithParam<MadePair> {};

TEST_P(MadePairTest, SoundAndFlashRecoverTheOffsetWithinAFrameOfTheFasterVideo) {
    const MadePair& pair = GetParam();
    const double truth = Offset(pair.offset).Seconds();
    TempDir dir("kivra-sync 同期");
    const std::string a = dir.File(pair.nameA);
    const std::string b = dir.File(pair.nameB);
    ASSERT_TRUE(MakeVideo(a, pair.rateA, pair.flashA, 0.0, true, 48000));
    ASSERT_TRUE(MakeVideo(b, pair.rateB, pair.flashA, truth, true, 44100));
    const auto streamA = OpenStream(a);
    const auto streamB = OpenStream(b);
    ASSERT_TRUE(streamA && streamB);
    const VideoClock clockA = ClockOf(*streamA);
    const VideoClock clockB = ClockOf(*streamB);
    const double frame = 1.0 / std::max(clockA.FramesPerSecond(), clockB.FramesPerSecond());

    const kivra::AudioRead soundA = kivra::ReadMonoAudio(a);
    const kivra::AudioRead soundB = kivra::ReadMonoAudio(b);
    ASSERT_TRUE(soundA.why.empty() && soundB.why.empty()) << soundA.why << soundB.why;
    const kivra::SyncEstimate bySound = kivra::FindSoundOffset(soundA.audio, soundB.audio, 10.0);
    ASSERT_TRUE(bySound.found) << bySound.why;
    EXPECT_NEAR(bySound.offset.Seconds(), truth, frame) << bySound.offset.Text();
    EXPECT_GE(bySound.confidence, kivra::kSoundConfidence);
    // Searched short of the truth, the sound gives no offset it stands behind.
    EXPECT_FALSE(kivra::FindSoundOffset(soundA.audio, soundB.audio, std::abs(truth) / 4).found);

    const kivra::SyncEstimate byFlash = kivra::FindFlashOffset(
        kivra::FrameBrightness(*streamA), clockA, kivra::FrameBrightness(*streamB), clockB, 10.0);
    ASSERT_TRUE(byFlash.found) << byFlash.why;
    EXPECT_EQ(byFlash.offset, Offset(pair.offset)) << byFlash.offset.Text();
    EXPECT_EQ(byFlash.agreeing, 1);
    EXPECT_GE(byFlash.confidence, kivra::kFlashStrength);
}

INSTANTIATE_TEST_SUITE_P(
    RatePairs, MadePairTest,
    testing::Values(MadePair{"25", "60", "0.35", 1.0, "walk side.avi", "walk front.avi"},
                    MadePair{"30000/1001", "50", "0.199", 1.001, "側面.avi", "-front $;'.mp4"},
                    MadePair{"60", "25", "-0.4", 1.6, "a.mp4", "b.avi"}));

TEST(AudioSyncTest, VideoWithoutSoundOrUnreadableGivesItsReason) {
    TempDir dir;
    const std::string silent = dir.File("silent.avi");
    ASSERT_TRUE(MakeVideo(silent, "25", 1.0, 0.0, false, 0));
    EXPECT_EQ(kivra::ReadMonoAudio(silent).why, "音声がありません");
    ASSERT_TRUE(kivra::test::WriteFile(dir.File("junk.avi"), "RIFF\x10\0\0\0AVI junk"));
    EXPECT_FALSE(kivra::ReadMonoAudio(dir.File("junk.avi")).why.empty());
    EXPECT_FALSE(kivra::ReadMonoAudio(dir.File("missing.avi")).why.empty());
    // Silence correlates with nothing.
    const kivra::MonoAudio quiet{std::vector<float>(8000, 0.0f), kivra::kSyncAudioRate, 0.0};
    EXPECT_FALSE(kivra::FindSoundOffset(quiet, quiet, 10.0).found);
}

TEST(SyncSessionTest, RoundTripBesideAndElsewhere) {
    TempDir dir("kivra-sync 歩行 $;'");
    std::filesystem::create_directory(dir.File("front cam"));
    const kivra::SyncSession session{dir.File("walk side.avi"),
                                     dir.File("front cam/-walk front.mp4"), Offset("-1001/30000"),
                                     kivra::SyncMethod::kFlash};
    const std::string path = kivra::SyncSessionPath(session.videoA);
    EXPECT_EQ(path, dir.File("walk side.ksync"));
    ASSERT_EQ(kivra::SaveSyncSession(session, path), "");
    EXPECT_EQ(kivra::test::ReadFile(path), "kivra-sync 1\nvideo-a=walk side.avi\nvideo-b=" +
                                               dir.File("front cam/-walk front.mp4") +
                                               "\noffset=-1001/30000\nmethod=flash\n");
    const kivra::SyncSessionRead read = kivra::ReadSyncSession(path);
    ASSERT_TRUE(read.session) << read.why;
    EXPECT_EQ(read.session->videoA, session.videoA);
    EXPECT_EQ(read.session->videoB, session.videoB);
    EXPECT_EQ(read.session->offset, session.offset);
    EXPECT_EQ(read.session->method, session.method);

    // A name that cannot be a line is refused, and the file before it stays.
    kivra::SyncSession broken = session;
    broken.videoB = dir.File("two\nlines.avi");
    EXPECT_NE(kivra::SaveSyncSession(broken, path), "");
    EXPECT_TRUE(kivra::ReadSyncSession(path).session.has_value());
}

TEST(SyncSessionTest, DamagedAndNewerFilesAreRefusedWithTheirReason) {
    const std::string body = "video-a=a.avi\nvideo-b=b.avi\noffset=0.35\nmethod=sound\n";
    const std::pair<std::string, const char*> files[] = {
        {"", "同期ファイルではありません"},
        {"kivra-sync\n" + body, "同期ファイルではありません"},
        {"kivra-sync x1\n" + body, "同期ファイルではありません"},
        {"kivra-sync 0\n" + body, "同期ファイルではありません"},
        {"other 1\n" + body, "同期ファイルではありません"},
        {"kivra-sync 2\n" + body, "形式 2"},
        {"kivra-sync 1\nvideo-a=a.avi\nvideo-b=b.avi\nmethod=sound\n", "offset"},
        {"kivra-sync 1\n" + body + "offset=1\n", "offset"},
        {"kivra-sync 1\nvideo-a=a.avi\nvideo-b=b.avi\noffset=0,35\nmethod=sound\n", "0,35"},
        {"kivra-sync 1\nvideo-a=a.avi\nvideo-b=b.avi\noffset=1\nmethod=guess\n", "guess"},
        {"kivra-sync 1\r\n" + body + "no equals sign\n", "no equals sign"},
        {std::string("kivra-sync 1\n\0\0\0", 16), "壊れています"},
    };
    TempDir dir;
    const std::string path = dir.File("x.ksync");
    for (const auto& [text, reason] : files) {
        ASSERT_TRUE(kivra::test::WriteFile(path, text));
        const kivra::SyncSessionRead read = kivra::ReadSyncSession(path);
        EXPECT_FALSE(read.session.has_value()) << text;
        EXPECT_NE(read.why.find(reason), std::string::npos) << text << " -> " << read.why;
    }
    // Far larger than any session: refused unread.
    ASSERT_TRUE(
        kivra::test::WriteFile(path, "kivra-sync 1\n" + body + std::string(10'000'000, '\n')));
    EXPECT_FALSE(kivra::ReadSyncSession(path).session.has_value());
    // Written with CR LF by an editor: still read.
    ASSERT_TRUE(kivra::test::WriteFile(
        path, "kivra-sync 1\r\nvideo-a=a.avi\r\nvideo-b=b.avi\r\noffset=7/20\r\nmethod=sound\r\n"));
    const kivra::SyncSessionRead crlf = kivra::ReadSyncSession(path);
    ASSERT_TRUE(crlf.session) << crlf.why;
    EXPECT_EQ(crlf.session->videoB, dir.File("b.avi"));
}

// The command on a made pair: the sound by default, the flash when A has no sound, frames
// given by hand, --save, and a wrong command line.
TEST(SyncCommandTest, PrintsSavesFallsBackAndRefuses) {
    TempDir dir("kivra-sync cli 歩行");
    const std::string a = dir.File("walk side.avi");
    const std::string b = dir.File("walk front.avi");
    const std::string silent = dir.File("silent.avi");
    ASSERT_TRUE(MakeVideo(a, "25", 1.0, 0.0, true, 48000));
    ASSERT_TRUE(MakeVideo(b, "60", 1.0, 0.35, true, 48000));
    ASSERT_TRUE(MakeVideo(silent, "25", 1.0, 0.0, false, 0));
    const std::string cli = std::string(KIVRA_BINARY_DIR) + "/kivra-cli";
    struct Run {
        std::vector<std::string> args;
        std::vector<std::string> lines;
    };
    const Run runs[] = {
        {{"sync", a, b}, {"offset: 0.3", "method: sound\n", "confidence: "}},
        {{"sync", silent, b},
         {"offset: 0.35 s", "frames of A: 8.750 at 25.000 fps\n",
          "frames of B: 21.000 at 60.000 fps\n", "method: flash\n"}},
        {{"sync", a, b, "--by", "frames", "25,81", "--save"},
         {"offset: 0.35 s", "method: frames\n", "saved: " + dir.File("walk side.ksync")}},
    };
    for (const Run& run : runs) {
        std::vector<std::string> argv{cli};
        argv.insert(argv.end(), run.args.begin(), run.args.end());
        std::string out;
        ASSERT_TRUE(kivra::test::RunProgramOutput(argv, out)) << run.args[1];
        for (const std::string& line : run.lines) {
            EXPECT_NE(out.find(line), std::string::npos) << out;
        }
    }
    const kivra::SyncSessionRead saved = kivra::ReadSyncSession(dir.File("walk side.ksync"));
    ASSERT_TRUE(saved.session) << saved.why;
    EXPECT_EQ(saved.session->offset, Offset("0.35"));
    EXPECT_EQ(
        kivra::test::RunCliCommand(dir, "sync", {a, b, "--by", "sound", "--max-offset", "0.05"}),
        1);
    EXPECT_EQ(
        kivra::test::RunCliCommand(dir, "sync", {silent, b, "--by", "sound"}, {"LANG=ja_JP.UTF-8"}),
        1);
    EXPECT_NE(kivra::test::ReadFile(dir.File("err.txt")).find("音声がありません"),
              std::string::npos);
    for (const std::vector<std::string>& wrong : {std::vector<std::string>{a},
                                                  {a, b, "--by", "guess"},
                                                  {a, b, "--by", "frames", "3"},
                                                  {a, b, "--max-offset", "-1"},
                                                  {a, b, "--foot", "R=1,2"}}) {
        EXPECT_EQ(kivra::test::RunCliCommand(dir, "sync", wrong), 2) << wrong.back();
    }
}

// --by events on a made pair whose videos keep their feet under different marker IDs, each in
// its own .kgait: no --foot needed; a video with feet nowhere is refused as without --foot.
TEST(SyncCommandTest, ByEventsTakesEachVideosOwnFeet) {
    TempDir dir("kivra-sync events 歩行 $;");
    const std::string a = dir.File("walk side.avi");
    const std::string b = dir.File("walk side 60.avi");
    const auto walkA = kivra::walks::MakeRealisticWalk({25.0, 1, 5.0, 2});
    const auto walkB = kivra::walks::MakeRealisticWalk({60.0, 1, 5.0, 2});
    const struct {
        std::string path;
        const char* rate;
        int frames;
        std::vector<kivra::FootTrack> feet;
        int firstId;  // right heel, right toe, left heel, left toe from here
    } videos[] = {{a, "25", walkA.frames - 10, Late(walkA.feet, 10), 5},
                  {b, "60", walkB.frames, walkB.feet, 1}};
    for (const auto& video : videos) {
        ASSERT_TRUE(
            RunFfmpeg({"-f", "lavfi", "-i", std::string("color=c=gray:s=64x48:r=") + video.rate,
                       "-frames:v", std::to_string(video.frames), "-c:v", "mjpeg", video.path}));
        CLFFManager store;
        store.LoadMarkers("", 10);
        int id = video.firstId;
        for (const kivra::FootTrack& foot : video.feet) {
            for (const kivra::MarkerTrack* track : {&foot.heel, &foot.toe}) {
                for (std::size_t i = 0; i < track->frames.size(); ++i) {
                    store.SetMarker(id - 1, track->frames[i], track->points[i].x,
                                    track->points[i].y);
                }
                ++id;
            }
        }
        const std::string lff = kivra::ReplaceExtension(video.path, ".lff");
        ASSERT_TRUE(store.SaveMarkers(lff, 0, 0, 1));
        const int first = video.firstId;
        ASSERT_TRUE(
            kivra::WriteFootRoles(kivra::GaitFilePath(lff),
                                  kivra::FootRoles{kivra::FootMarkers{first, first + 1},
                                                   kivra::FootMarkers{first + 2, first + 3}, 0}));
    }
    const std::string cli = std::string(KIVRA_BINARY_DIR) + "/kivra-cli";
    std::string out;
    ASSERT_TRUE(kivra::test::RunProgramOutput({cli, "sync", a, b, "--by", "events"}, out));
    EXPECT_NE(out.find("method: events\n"), std::string::npos) << out;
    const std::size_t at = out.find("offset: ");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_NEAR(std::stod(out.substr(at + 8)), 0.4, 1.0 / 60) << out;

    ASSERT_TRUE(kivra::WriteFootRoles(kivra::GaitFilePath(kivra::ReplaceExtension(b, ".lff")),
                                      std::nullopt));
    EXPECT_EQ(kivra::test::RunCliCommand(dir, "sync", {a, b, "--by", "events"}), 2);
    EXPECT_NE(kivra::test::ReadFile(dir.File("err.txt")).find(b), std::string::npos);
    // The same feet given for both: B's own IDs 1-4 carry no markers then.
    EXPECT_EQ(kivra::test::RunCliCommand(
                  dir, "sync", {a, b, "--by", "events", "--foot", "R=5,6", "--foot", "L=7,8"}),
              1);
}

}  // namespace
