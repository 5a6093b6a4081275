// Phone and camera clips read straight from the file: the same frames, numbers, rate and size
// as the conversion to a temporary AVI gives them, whichever way a frame is reached, and nothing
// written beside the source. Every clip is made with the real ffmpeg and converted with it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <random>
#include <thread>

#include "direct/direct_reader.h"
#include "direct/frame_index.h"
#include "document/vfw_doc.h"
#include "settings/inifile_manager.h"
#include "support/ffmpeg_tool.h"
#include "support/recording_host.h"

namespace {

namespace fs = std::filesystem;
using kivra::test::RunFfmpeg;
using kivra::test::TempDir;

// Mean squared difference of two pictures of one size, as a PSNR in dB (99 for identical).
double Psnr(const kivra::Dib& a, const kivra::Dib& b) {
    if (a.bits.size() != b.bits.size() || a.bits.empty()) {
        return -1;
    }
    double sum = 0;
    for (size_t i = 0; i < a.bits.size(); ++i) {
        const double d = double(a.bits[i]) - double(b.bits[i]);
        sum += d * d;
    }
    const double mse = sum / double(a.bits.size());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// One document per route on the same source.
struct Routes {
    Routes() {
        direct.LoadSettings();
        converted.LoadSettings();
        converted.Program().openDirect = false;
        directHost.doc = &directDoc;
        convertedHost.doc = &convertedDoc;
    }
    TempDir settingsDir;
    CInifileManager direct{std::string()};
    CInifileManager converted{std::string()};
    kivra::test::RecordingHost directHost;
    kivra::test::RecordingHost convertedHost;
    CVfwDoc directDoc{directHost, kivra::test::DocumentGroups(direct), settingsDir.path() + "/"};
    CVfwDoc convertedDoc{convertedHost, kivra::test::DocumentGroups(converted),
                         settingsDir.path() + "/"};
};

struct Clip {
    const char* name;
    const char* file;
    // How the clip is made from a 60-frame test picture at `rate`; then, when remux is not
    // empty, copied once more with these options.
    std::vector<std::string> encode;
    std::vector<std::string> remux;
    std::string rate = "30";
};

void PrintTo(const Clip& clip, std::ostream* os) {
    *os << clip.name;
}

class DirectClipTest : public ::testing::TestWithParam<Clip> {};

bool MakeClip(const Clip& clip, const TempDir& dir, std::string* path) {
    const std::string source = "testsrc2=size=320x240:rate=" + clip.rate;
    const std::string made =
        dir.File(clip.remux.empty() ? clip.file : std::string("made_") + clip.file);
    std::vector<std::string> args = {"-f", "lavfi", "-i", source, "-frames:v", "60"};
    args.insert(args.end(), clip.encode.begin(), clip.encode.end());
    args.push_back(made);
    if (!RunFfmpeg(args)) {
        return false;
    }
    *path = dir.File(clip.file);
    if (clip.remux.empty()) {
        return true;
    }
    std::vector<std::string> again = {"-i", made};
    again.insert(again.end(), clip.remux.begin(), clip.remux.end());
    again.push_back(*path);
    const bool ok = RunFfmpeg(again);
    fs::remove(made);
    return ok;
}

TEST_P(DirectClipTest, SameFramesAsTheConversionWhicheverWayReached) {
    const Clip& clip = GetParam();
    TempDir media("kivra direct ");
    std::string path;
    ASSERT_TRUE(MakeClip(clip, media, &path));
    Routes routes;
    ASSERT_TRUE(routes.directDoc.OnOpenDocument(path));
    ASSERT_TRUE(routes.convertedDoc.OnOpenDocument(path));
    CAviVideoStream& direct = *routes.directDoc.Stream();
    CAviVideoStream& converted = *routes.convertedDoc.Stream();
    ASSERT_TRUE(direct.IsDirect());
    ASSERT_FALSE(converted.IsDirect());

    EXPECT_EQ(direct.GetFrameCount(), converted.GetFrameCount());
    EXPECT_EQ(direct.StreamInfo().rate, converted.StreamInfo().rate);
    EXPECT_EQ(direct.StreamInfo().scale, converted.StreamInfo().scale);
    EXPECT_EQ(direct.FileInfo().dwWidth, converted.FileInfo().dwWidth);
    EXPECT_EQ(direct.FileInfo().dwHeight, converted.FileInfo().dwHeight);
    const int count = std::min(direct.GetFrameCount(), converted.GetFrameCount());
    ASSERT_GT(count, 10);

    // Stepping on.
    const auto reader = direct.OpenDecoder();
    ASSERT_NE(reader, nullptr);
    std::vector<kivra::Dib> stepped(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n) {
        ASSERT_TRUE(reader->GetFrame(n, stepped[size_t(n)])) << n;
    }
    // Stepping on decodes each picture about once, up to the clip's very end (an edit list
    // adds the pictures before its start, a lower rate the pictures it drops).
    EXPECT_LE(reader->Stats().framesDecoded, reader->PictureOf(count - 1) + 1 + 16);
    // Jumping, and going backwards, each on a reader of its own.
    const auto jumping = direct.OpenDecoder();
    std::vector<int> order(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n) {
        order[size_t(n)] = n;
    }
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    kivra::Dib picture;
    for (const int n : order) {
        ASSERT_TRUE(jumping->GetFrame(n, picture)) << n;
        EXPECT_EQ(picture.bits, stepped[size_t(n)].bits) << "jump to " << n;
    }
    const auto backwards = direct.OpenDecoder();
    for (int n = count - 1; n >= 0; --n) {
        ASSERT_TRUE(backwards->GetFrame(n, picture)) << n;
        EXPECT_EQ(picture.bits, stepped[size_t(n)].bits) << "back to " << n;
    }

    // Against the conversion: frame n is closer to its frame n than to its neighbours.
    const auto other = converted.OpenDecoder();
    std::vector<kivra::Dib> theirs(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n) {
        ASSERT_TRUE(other->GetFrame(n, theirs[size_t(n)])) << n;
    }
    for (int n = 0; n < count; ++n) {
        const double same = Psnr(stepped[size_t(n)], theirs[size_t(n)]);
        EXPECT_GT(same, 25.0) << "frame " << n;
        for (const int m : {n - 1, n + 1}) {
            if (m < 0 || m >= count || theirs[size_t(m)].bits == theirs[size_t(n)].bits) {
                continue;
            }
            EXPECT_GT(same, Psnr(stepped[size_t(n)], theirs[size_t(m)]))
                << "frame " << n << " is closer to the conversion's " << m;
        }
    }
}

const std::vector<std::string> kH264 = {
    "-c:v", "libx264", "-bf", "3", "-g", "12", "-x264-params", "open-gop=1", "-pix_fmt", "yuv420p"};
const std::vector<std::string> kHevc = {
    "-c:v",     "libx265", "-x265-params", "log-level=error:bframes=3:keyint=12:open-gop=1",
    "-pix_fmt", "yuv420p"};

std::vector<std::string> With(std::vector<std::string> base, std::vector<std::string> more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

INSTANTIATE_TEST_SUITE_P(
    Clips, DirectClipTest,
    ::testing::Values(
        // ffmpeg writes the moov box after the pictures unless told otherwise.
        Clip{"H264BFramesMp4MoovAtEnd", "phone clip.mp4", kH264, {}},
        Clip{"H264MovEditList", "edit list.mov", kH264, {"-ss", "0.3", "-c", "copy"}},
        Clip{
            "HevcRotated90", "portrait.mov", kHevc, {"-c", "copy", "-metadata:s:v:0", "rotate=90"}},
        Clip{"HevcRotated270",
             "portrait 270.mov",
             kHevc,
             {"-c", "copy", "-metadata:s:v:0", "rotate=270"}},
        // A run at double rate and a gap of half a second.
        Clip{"VariableRateMp4",
             "vfr.mp4",
             With({"-vf", "setpts='if(lt(N,20),2*N,if(lt(N,40),N+20,2*N+10))'", "-vsync", "vfr"},
                  kH264),
             {},
             "60"},
        Clip{"AnamorphicMkv", "anamorphic.mkv", With({"-vf", "setsar=4/3"}, kH264), {}},
        Clip{"TransportStreamPtsWrap",
             "camera.mts",
             With({"-output_ts_offset", "95443.2", "-f", "mpegts"}, kH264),
             {}},
        // M2TS is converted to 29.97 frames a second whatever its own rate.
        Clip{"M2tsFrom25",
             "camcorder 25.m2ts",
             With({"-f", "mpegts", "-mpegts_m2ts_mode", "1"}, kH264),
             {},
             "25"},
        Clip{"M2tsFrom5994",
             "camcorder 59.94.M2TS",
             With({"-f", "mpegts"}, kH264),
             {},
             "60000/1001"},
        // The H.264 timing states half the rate, so the encoder takes each B-frame picture for
        // two frames long, which decides what the run of close pictures at the end keeps.
        Clip{"H264TimingOfHalfTheRate",
             "long pictures.mp4",
             With({"-vf", "setpts='if(lt(N,30),N*1.3,39+(N-30)*0.7)/30/TB'", "-vsync", "vfr",
                   "-enc_time_base", "1/15360"},
                  With(kH264, {"-movflags", "negative_cts_offsets", "-bsf:v",
                               "h264_metadata=tick_rate=30"})),
             {}},
        // Above 1000 frames a second the AVI states 600 and moves the frames onto its ticks.
        Clip{"HighSpeed1000", "high speed 1000.mp4", kH264, {}, "1000"},
        Clip{"HighSpeed2000", "high speed 2000.mp4", kH264, {}, "2000"},
        Clip{"HighSpeed2000WithGap",
             "high speed gap.mp4",
             With({"-vf", "setpts='if(lt(N,20),N,N+200)'", "-vsync", "vfr"}, kH264),
             {},
             "2000"}),
    [](const ::testing::TestParamInfo<Clip>& info) { return std::string(info.param.name); });

// The index of a clip whose samples are skimmed is the index of reading every sample: same
// packets, pictures, key frames and frame numbers, with edit lists, B-frames, fragments and
// variable rates.
class SkimmedIndexTest : public ::testing::TestWithParam<Clip> {};

TEST_P(SkimmedIndexTest, EqualsTheIndexOfReadingEverySample) {
    const Clip& clip = GetParam();
    TempDir media("kivra skim ");
    std::string path;
    ASSERT_TRUE(MakeClip(clip, media, &path));
    kivra::IndexFailure failure = kivra::IndexFailure::None;
    std::string why;
    const auto skimmed = kivra::BuildFrameIndex(path, {}, {}, &failure, &why);
    ASSERT_NE(skimmed, nullptr) << why;
    const auto read =
        kivra::BuildFrameIndex(path, {}, {}, &failure, &why, kivra::SampleReading::ReadAll);
    ASSERT_NE(read, nullptr) << why;
    EXPECT_FALSE(read->skimmed);
    // H.264 whose tables leave key pictures or durations to the parser is read whole.
    const bool allKeys = std::all_of(read->packets.begin(), read->packets.end(),
                                     [](const kivra::IndexedPacket& packet) { return packet.key; });
    EXPECT_EQ(skimmed->skimmed, !allKeys && clip.name != std::string("H264FragmentedMp4"));

    ASSERT_EQ(skimmed->packets.size(), read->packets.size());
    for (size_t i = 0; i < read->packets.size(); ++i) {
        const kivra::IndexedPacket& a = skimmed->packets[i];
        const kivra::IndexedPacket& b = read->packets[i];
        EXPECT_TRUE(a.pts == b.pts && a.dts == b.dts && a.rawTime == b.rawTime && a.pos == b.pos &&
                    a.duration == b.duration && a.key == b.key && a.discard == b.discard)
            << "packet " << i;
    }
    EXPECT_EQ(skimmed->keyPackets, read->keyPackets);
    EXPECT_EQ(skimmed->pictures, read->pictures);
    EXPECT_EQ(skimmed->pictureAtSample, read->pictureAtSample);
    EXPECT_EQ(skimmed->keySamples, read->keySamples);
    EXPECT_EQ(skimmed->rate, read->rate);
    EXPECT_EQ(skimmed->scale, read->scale);
    EXPECT_EQ(skimmed->width, read->width);
    EXPECT_EQ(skimmed->height, read->height);
    // The decoders are opened from these.
    EXPECT_EQ(skimmed->codecpar->format, read->codecpar->format);
    EXPECT_EQ(skimmed->codecpar->video_delay, read->codecpar->video_delay);
    EXPECT_EQ(skimmed->codecpar->extradata_size, read->codecpar->extradata_size);
    EXPECT_GT(read->pictureAtSample.size(), 10u);
}

const std::vector<std::string> kVfr = {"-vf", "setpts='if(lt(N,20),2*N,if(lt(N,40),N+20,2*N+10))'",
                                       "-vsync", "vfr"};

INSTANTIATE_TEST_SUITE_P(
    Clips, SkimmedIndexTest,
    ::testing::Values(Clip{"H264BFramesMp4", "phone.mp4", kH264, {}},
                      Clip{"HevcBFramesMp4", "camera.mp4", kHevc, {}},
                      Clip{"HevcMovEditList", "edit list.mov", kHevc, {"-ss", "0.3", "-c", "copy"}},
                      Clip{"HevcMovEditListAtStart",
                           "delayed.mov",
                           kHevc,
                           {"-output_ts_offset", "0.5", "-c", "copy", "-movflags", "faststart"}},
                      Clip{"HevcVariableRateMp4", "vfr.mp4", With(kVfr, kHevc), {}, "60"},
                      Clip{"H264VariableRateMov", "vfr.mov", With(kVfr, kH264), {}, "60"},
                      Clip{"H264MovEditList", "edit list.mov", kH264, {"-ss", "0.3", "-c", "copy"}},
                      Clip{"H264IntraRefreshMp4",
                           "intra refresh.mp4",
                           With({"-x264-params", "intra-refresh=1:keyint=20"}, kH264),
                           {}},
                      Clip{"H264IntraOnlyMp4", "intra.mp4", With({"-g", "1"}, kH264), {}},
                      Clip{"H264FragmentedMp4",
                           "fragments.mp4",
                           kH264,
                           {"-c", "copy", "-movflags", "frag_keyframe+empty_moov"}},
                      Clip{"HevcFragmentedMp4",
                           "fragments.mp4",
                           kHevc,
                           {"-c", "copy", "-movflags", "frag_keyframe+empty_moov"}}),
    [](const ::testing::TestParamInfo<Clip>& info) { return std::string(info.param.name); });

// A B-frame clip of `frames` test pictures, read straight from the file.
std::shared_ptr<const kivra::FrameIndex> IndexedClip(const TempDir& dir, const std::string& size,
                                                     int frames,
                                                     const std::vector<std::string>& encode) {
    const std::string path = dir.File("back and forth.mp4");
    std::vector<std::string> args = {"-f",        "lavfi",
                                     "-i",        "testsrc2=size=" + size + ":rate=30",
                                     "-frames:v", std::to_string(frames)};
    args.insert(args.end(), encode.begin(), encode.end());
    args.push_back(path);
    if (!RunFfmpeg(args)) {
        return nullptr;
    }
    return kivra::BuildFrameIndex(path, {}, nullptr, nullptr, nullptr);
}

// Stepping back from the end of an open-GOP B-frame clip while the thread decodes ahead gives
// the pictures stepping on gives: when each step waits for the thread (which then supplies the
// pictures, so the showing side decodes nothing after the jump), when steps race it on a cache
// that holds under the clip, and when the steps turn round.
TEST(DirectDecodeAhead, BackwardStepsGiveTheForwardPictures) {
    TempDir media("kivra ahead ");
    const auto index = IndexedClip(media, "160x120", 75, kH264);
    ASSERT_NE(index, nullptr);
    const auto forward = kivra::DirectReader::Open(index, nullptr);
    ASSERT_NE(forward, nullptr);
    const int count = forward->SampleCount();
    ASSERT_EQ(count, 75);
    std::vector<std::vector<uint8_t>> pictures;
    kivra::Dib dib;
    for (int n = 0; n < count; ++n) {
        ASSERT_TRUE(forward->GetFrame(n, dib)) << n;
        pictures.push_back(dib.bits);
    }
    EXPECT_EQ(forward->Stats().prefetchDecoded, 0);  // stepping on leaves the thread alone

    const auto reader = kivra::DirectReader::Open(index, nullptr);
    ASSERT_NE(reader, nullptr);
    ASSERT_TRUE(reader->GetFrame(count - 1, dib));
    const kivra::DecoderStats afterJump = reader->Stats();
    for (int n = count - 2; n >= 0; --n) {
        ASSERT_TRUE(reader->GetFrame(n, dib)) << n;
        ASSERT_EQ(dib.bits, pictures[size_t(n)]) << "back to " << n;
        reader->WaitForPrefetch();
    }
    const kivra::DecoderStats settled = reader->Stats();
    EXPECT_GT(settled.prefetched, count / 2);
    EXPECT_GE(settled.prefetchDecoded, settled.prefetched);
    EXPECT_EQ(settled.packetsSent, afterJump.packetsSent);

    // About fifty pictures of this size: less than the clip.
    const size_t bound = size_t(40) << 16;
    reader->SetCacheLimit(bound);
    ASSERT_TRUE(reader->GetFrame(0, dib));
    ASSERT_TRUE(reader->GetFrame(count - 1, dib));
    for (int n = count - 2; n >= 0; --n) {
        ASSERT_TRUE(reader->GetFrame(n, dib)) << n;
        ASSERT_EQ(dib.bits, pictures[size_t(n)]) << "racing back to " << n;
        EXPECT_LE(reader->CacheBytes(), bound);
    }
    EXPECT_GT(reader->Stats().prefetched, settled.prefetched);
    for (int n = 1; n < count; n += 7) {
        ASSERT_TRUE(reader->GetFrame(n, dib)) << n;
        ASSERT_EQ(dib.bits, pictures[size_t(n)]) << "on to " << n;
    }
}

// A jump ahead within one long group keeps the pictures it passes: stepping back from there
// decodes nothing again.
TEST(DirectDecodeAhead, JumpWithinAGroupKeepsWhatItPassed) {
    TempDir media;
    const auto index = IndexedClip(
        media, "160x120", 40, {"-c:v", "libx264", "-bf", "2", "-g", "300", "-pix_fmt", "yuv420p"});
    ASSERT_NE(index, nullptr);
    const auto reader = kivra::DirectReader::Open(index, nullptr);
    ASSERT_NE(reader, nullptr);
    kivra::Dib dib;
    ASSERT_TRUE(reader->GetFrame(0, dib));
    ASSERT_TRUE(reader->GetFrame(39, dib));
    const kivra::DecoderStats jumped = reader->Stats();
    EXPECT_EQ(jumped.seeks, 1);
    for (int n = 38; n >= 30; --n) {
        ASSERT_TRUE(reader->GetFrame(n, dib)) << n;
        kivra::Dib alone;
        ASSERT_TRUE(kivra::DirectReader::Open(index, nullptr)->GetFrame(n, alone));
        ASSERT_EQ(dib.bits, alone.bits) << n;
    }
    EXPECT_EQ(reader->Stats().seeks, jumped.seeks);
    EXPECT_EQ(reader->Stats().framesDecoded, jumped.framesDecoded);
}

// A jump to the key picture of the next group, as the refresh after a jump back to frame 0
// makes, starts there: the rest of the group before it is not decoded for nothing.
TEST(DirectDecodeAhead, JumpToTheNextKeyStartsThere) {
    TempDir media;
    const auto index = IndexedClip(
        media, "160x120", 150, {"-c:v", "libx264", "-bf", "2", "-g", "120", "-pix_fmt", "yuv420p"});
    ASSERT_NE(index, nullptr);
    ASSERT_GE(index->keyPictures.size(), 2u);
    const int key = index->keyPictures[1];
    const auto reader = kivra::DirectReader::Open(index, nullptr);
    ASSERT_NE(reader, nullptr);
    kivra::Dib dib;
    ASSERT_TRUE(reader->GetFrame(0, dib));
    const kivra::DecoderStats before = reader->Stats();
    ASSERT_TRUE(reader->GetFrame(key, dib));
    EXPECT_EQ(reader->Stats().seeks, before.seeks + 1);
    EXPECT_LE(reader->Stats().framesDecoded - before.framesDecoded, 4);
    kivra::Dib alone;
    ASSERT_TRUE(kivra::DirectReader::Open(index, nullptr)->GetFrame(key, alone));
    EXPECT_EQ(dib.bits, alone.bits);
}

// Closing the clip while the thread decodes a long group neither crashes nor hangs.
TEST(DirectDecodeAhead, ClosingWhileDecodingAheadReturnsPromptly) {
    TempDir media;
    const auto index = IndexedClip(media, "640x360", 240,
                                   {"-c:v", "libx264", "-preset", "ultrafast", "-bf", "2", "-g",
                                    "120", "-pix_fmt", "yuv420p"});
    ASSERT_NE(index, nullptr);
    kivra::Dib dib;
    for (const int delayMs : {0, 2, 15, 60}) {
        auto reader = kivra::DirectReader::Open(index, nullptr);
        ASSERT_NE(reader, nullptr);
        ASSERT_TRUE(reader->GetFrame(239, dib));
        ASSERT_TRUE(reader->GetFrame(238, dib));  // a step back sets the thread on the group before
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        auto closed = std::async(std::launch::async, [&reader] { reader.reset(); });
        if (closed.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "closing hung after " << delayMs << " ms";
            std::_Exit(1);  // a hung thread cannot be joined; do not wait for it
        }
    }
}

// A phone clip with sound, the way the document tests make their sources.
std::string MakePhoneClip(const TempDir& dir, const std::string& name) {
    const std::string path = dir.File(name);
    const bool ok = RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=30", "-f", "lavfi",
                               "-i", "sine=duration=1", "-frames:v", "30", "-c:v", "libx264", "-bf",
                               "2", "-c:a", "aac", "-shortest", path});
    return ok ? path : std::string();
}

// Markers saved on a converted clip are found again when it is read directly, and reading
// writes nothing beside the source: a read-only folder opens; saving markers there fails.
TEST(DirectOpen, KeepsTheConvertedClipsMarkersAndWritesNothing) {
    TempDir media("kivra direct 歩行 ");
    const std::string clip = MakePhoneClip(media, "walk $1; 'a'.mp4");
    ASSERT_FALSE(clip.empty());
    Routes routes;
    ASSERT_TRUE(routes.convertedDoc.OnOpenDocument(clip));
    CLFFManager& saved = routes.convertedDoc.Annotations()->m_markers;
    saved.SetMarker(1, 5, 12.5, 7.0);
    const std::string markerFile = routes.convertedDoc.Stream()->MarkerFilePath();
    EXPECT_EQ(markerFile, media.File("walk $1; 'a'.$tmp$.lff"));
    ASSERT_TRUE(saved.SaveMarkers(markerFile, 0, 0, 1));
    routes.convertedDoc.OnNewDocument();
    const std::vector<std::string> before = media.Names();
    ASSERT_EQ(before.size(), 2u);  // the clip and its marker file

    ASSERT_EQ(::chmod(media.path().c_str(), 0555), 0);
    ASSERT_TRUE(routes.directDoc.OnOpenDocument(clip))
        << (routes.directHost.messages.empty() ? "" : routes.directHost.messages[0]);
    EXPECT_TRUE(routes.directHost.messages.empty());
    CAviVideoStream& stream = *routes.directDoc.Stream();
    EXPECT_TRUE(stream.IsDirect());
    EXPECT_EQ(stream.FileName(), clip);
    EXPECT_EQ(stream.MarkerFilePath(), markerFile);
    EXPECT_TRUE(routes.directDoc.SoundPath().empty());
    CLFFManager& loaded = routes.directDoc.Annotations()->m_markers;
    EXPECT_TRUE(loaded.HasMarkers(5));
    loaded.SetMarker(1, 6, 1.0, 2.0);
    if (::access(media.path().c_str(), W_OK) != 0) {  // root writes anywhere
        EXPECT_FALSE(loaded.SaveMarkers(stream.MarkerFilePath(), 0, 0, 1));
    }
    routes.directDoc.OnNewDocument();
    EXPECT_EQ(media.Names(), before);
    ::chmod(media.path().c_str(), 0755);
}

// A file whose pictures carry no timestamps cannot be numbered exactly: it is converted, and
// the encoder log says why.
TEST(DirectOpen, FallsBackToTheConversionWithoutTimestamps) {
    TempDir media;
    const std::string raw = media.File("raw.h264");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=30", "-frames:v", "30",
                           "-c:v", "libx264", "-bf", "3", "-f", "h264", raw}));
    const std::string clip = media.File("no timestamps.mp4");
    fs::rename(raw, clip);
    Routes routes;
    ASSERT_TRUE(routes.directDoc.OnOpenDocument(clip));
    EXPECT_FALSE(routes.directDoc.Stream()->IsDirect());
    EXPECT_EQ(routes.directDoc.Stream()->FileName(), media.File("no timestamps.$tmp$.avi"));
    const std::string log = kivra::test::ReadFile(routes.settingsDir.File("VV_command.log"));
    EXPECT_NE(log.find("[D]:"), std::string::npos) << log;
    EXPECT_NE(log.find("no timestamps.mp4"), std::string::npos) << log;
}

// --convert takes the conversion route, which needs a writable folder; without it the same
// clip in a read-only folder is read.
TEST(DirectOpen, CliConvertOptionTakesTheConversion) {
    TempDir media;
    const std::string clip = MakePhoneClip(media, "clip.mp4");
    ASSERT_FALSE(clip.empty());
    TempDir out;
    ASSERT_EQ(::chmod(media.path().c_str(), 0555), 0);
    EXPECT_EQ(kivra::test::RunCliCommand(out, "frame", {clip, "3", out.File("direct.bmp")}), 0);
    EXPECT_TRUE(fs::exists(out.File("direct.bmp")));
    if (::access(media.path().c_str(), W_OK) != 0) {
        EXPECT_EQ(kivra::test::RunCliCommand(out, "frame",
                                             {clip, "3", out.File("converted.bmp"), "--convert"}),
                  1);
    }
    ::chmod(media.path().c_str(), 0755);
    EXPECT_EQ(kivra::test::RunCliCommand(out, "frame",
                                         {"--convert", clip, "3", out.File("converted.bmp")}),
              0);
    EXPECT_EQ(fs::file_size(out.File("converted.bmp")), fs::file_size(out.File("direct.bmp")));
    EXPECT_EQ(media.Names(), std::vector<std::string>{"clip.mp4"});
}

// OpenDirect is on unless set, and reaches the file only once changed.
TEST(DirectOpen, SettingIsWrittenOnlyOnceChanged) {
    TempDir dir;
    const std::string ini = dir.File("Kivra.ini");
    {
        CInifileManager settings(ini);
        settings.LoadSettings();
        EXPECT_TRUE(settings.Program().openDirect);
    }
    EXPECT_EQ(kivra::test::ReadFile(ini).find("OpenDirect"), std::string::npos);
    {
        CInifileManager settings(ini);
        settings.LoadSettings();
        settings.Program().openDirect = false;
    }
    EXPECT_NE(kivra::test::ReadFile(ini).find("[Settings]\nOpenDirect=0\n"), std::string::npos);
    CInifileManager settings(ini);
    settings.LoadSettings();
    EXPECT_FALSE(settings.Program().openDirect);
}

}  // namespace
