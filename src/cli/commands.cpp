#include "commands.h"
#include "gait_commands.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <random>

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>
#include <string_view>

#include "convert/format_ini_file.h"
#include "document/vfw_doc.h"
#include "kinematics/calibration.h"
#include "kinematics/kinematics_table.h"
#include "output/codec_option.h"
#include "output/own_files.h"
#include "platform/compressors.h"
#include "platform/four_cc.h"
#include "platform/number_text.h"
#include "platform/path_util.h"
#include "platform/settings_folder.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/translation.h"
#include "reading/stream_info_text.h"
#include "session/edit_session.h"
#include "settings/inifile_manager.h"
#include "tracking/marker_tracker.h"
#include "workspace/workspace.h"

namespace kivra::cli {

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  kivra-cli info FILE\n"
    "  kivra-cli frame FILE N OUT.bmp\n"
    "  kivra-cli decode FILE --order forward|backward|random [--count N]\n"
    "  kivra-cli csv VIDEO OUT.csv\n"
    "      the markers of the play range in the pixels of the trimmed output picture, scaled\n"
    "      from each frame's trimming area (none set in VIDEO's marker file: refused).\n"
    "  kivra-cli kinematics VIDEO OUT.csv [--angle NAME=A,B,C]... [--joint SIDE:JOINT=A,B,C]...\n"
    "                       [--scale MM_PER_PIXEL] [--filter HZ]\n"
    "      positions (mm with VIDEO's .kcal calibration or --scale, which replaces it; image\n"
    "      pixels otherwise), speeds and the joint angles at marker B, over the play range in\n"
    "      VIDEO's marker file; --filter low-passes the trajectories at HZ (zero lag).\n"
    "      --joint: SIDE R or L; JOINT hip (trunk ID or - for the vertical, hip, knee), knee\n"
    "      (hip, knee, ankle) or ankle (knee, ankle, toe); degrees, 0 standing upright,\n"
    "      flexion and dorsiflexion positive, in column JOINT_SIDE.\n"
    "  kivra-cli export VIDEO OUT [--codec CODE] [--options TEXT] [--profile N]\n"
    "      the trimmed movie of the play range stored in VIDEO's marker file. CODE as the\n"
    "      codec list shows it (H264, MJPG, XVID, DIB for uncompressed ...; default H264 with\n"
    "      crf=18:preset=medium); --options replaces the encoder options (key=value:...).\n"
    "      OUT ending in .avi is written directly; any other OUT is converted with profile N\n"
    "      of profile.ini beside the program, counted from 0 (default: the first profile\n"
    "      whose pattern matches OUT's extension).\n"
    "  kivra-cli track VIDEO [--from F] [--to G] [--ids LIST]\n"
    "      follows the markers of frame F (default: the play range's start in VIDEO's marker\n"
    "      file) up to frame G (default: the range's end) and saves the marker file. LIST:\n"
    "      marker IDs separated by commas (default: every ID on frame F).\n"
    "  kivra-cli gait VIDEO OUTDIR --foot SIDE=HEEL,TOE [--foot SIDE=HEEL,TOE] [--pelvis ID]\n"
    "                 [--scale MM_PER_PIXEL] [--filter HZ] [--angle NAME=A,B,C]...\n"
    "                 [--joint SIDE:JOINT=A,B,C]... [--reference [ANGLE=]CSV]... [--detect]\n"
    "      heel strikes and toe-offs (SIDE R or L; marker IDs as the window shows them),\n"
    "      stride parameters and joint angles over the gait cycle, over the play range in\n"
    "      VIDEO's marker file, into OUTDIR/events.csv, strides.csv, summary.csv and\n"
    "      cycles.csv; the events of VIDEO's .kgait file are used as edited unless --detect.\n"
    "      --reference: a clinic's normal bands, Angle,Percent,Mean,SD (a band per angle\n"
    "      named: knee_R, or knee for both sides) or Percent,Mean,SD given as ANGLE=CSV;\n"
    "      each banded curve's RMS deviation and their sagittal profile score go into\n"
    "      summary.csv.\n"
    "  kivra-cli report VIDEO OUT.pdf [the options of gait]\n"
    "                   [--patient TEXT] [--birth TEXT] [--visit TEXT] [--examiner TEXT]\n"
    "                   [--condition TEXT] [--comment TEXT] [--leg-length MM]\n"
    "      the same analysis as a report of A4 pages, each band drawn behind its own\n"
    "      angle. The header (patient name or ID, date of birth or age, visit date,\n"
    "      examiner, walking condition, comment, leg length) is read from VIDEO's .kvisit\n"
    "      file, which the window writes; each option replaces its field for this report\n"
    "      only (an empty TEXT clears it).\n"
    "  --convert with any command reads a video that is not AVI through the conversion to a\n"
    "      temporary AVI beside it instead of straight from the file.\n";

// Set by --convert for the whole run.
bool g_convertSources = false;

// Where the document and the actions tell the user things when there is no window: messages
// go to stderr, questions are declined, progress is not shown.
class HeadlessHost final : public DocumentHost {
public:
    explicit HeadlessHost(std::ostream& err) : err_(err) {}

    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon) override {
        err_ << text << "\n";
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }
    ProgressSink& Progress() override { return progress_; }

private:
    std::ostream& err_;
    NullProgressSink progress_;
};

// A video opened headless through the workspace; null stream when the open failed (the reason
// went to err).
class OpenedVideo {
public:
    OpenedVideo(const std::string& path, std::ostream& err, bool withSound)
        : settings_(std::string()),
          session_([this] { return doc_.Annotations(); }),
          host_(err),
          doc_(host_, settings_, UserSettingsFolder()),
          workspace_(doc_, session_, settings_, host_) {
        settings_.OpenDirect = g_convertSources ? 0 : 1;
        session_.LoadSettings(settings_);
        doc_.SetSplitSound(withSound);
        workspace_.OpenVideo(path);
    }
    CAviVideoStream* Stream() const { return doc_.Stream(); }
    const VideoAnnotations* Annotations() const { return doc_.Annotations(); }
    int RangeStart() const { return session_.RangeStart(); }
    int RangeEnd() const { return session_.RangeEnd(); }
    bool AreasSet() const { return session_.AreasSet(); }
    EditSession& Session() const { return session_; }
    const CInifileManager& Settings() const { return settings_; }
    Workspace& Actions() const { return workspace_; }
    VideoOwnFiles OwnFiles() const { return VideoOwnFiles(doc_.PathName(), doc_.Stream()); }

private:
    // Defaults in memory only: the batch tool never reads or writes the user's settings.
    CInifileManager settings_;
    mutable EditSession session_;
    HeadlessHost host_;
    mutable CVfwDoc doc_;
    mutable Workspace workspace_;
};

bool ParseInt(const std::string& text, long long* value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    *value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end != nullptr && *end == '\0';
}

// 64-bit FNV-1a over 8-byte words: order-sensitive and fast enough for 1080p pictures.
class Checksum {
public:
    void Add(const uint8_t* data, size_t size) {
        size_t i = 0;
        for (; i + 8 <= size; i += 8) {
            uint64_t word;
            std::memcpy(&word, data + i, 8);
            Mix(word);
        }
        for (; i < size; ++i) {
            Mix(data[i]);
        }
    }
    uint64_t value() const { return hash_; }

private:
    void Mix(uint64_t v) { hash_ = (hash_ ^ v) * 0x100000001b3ULL; }
    uint64_t hash_ = 0xcbf29ce484222325ULL;
};

// The start every command shares: the usage text and 2 when its arguments are wrong, 1 when the
// video args[1] does not open; otherwise the exit status of work on the opened video.
int OnVideo(bool argsOk, const std::vector<std::string>& args, std::ostream& err,
            const std::function<int(const OpenedVideo&, CAviVideoStream&)>& work,
            bool withSound = true) {
    if (!argsOk) {
        err << kUsage;
        return 2;
    }
    const OpenedVideo video(args[1], err, withSound);
    if (video.Stream() == nullptr) {
        return 1;
    }
    return work(video, *video.Stream());
}

// True, with the message, when output is one of the opened video's own files.
bool RefusedOutput(const OpenedVideo& video, const std::string& output, std::ostream& err) {
    const OwnFile which = video.OwnFiles().Which(output);
    if (which == OwnFile::kNone) {
        return false;
    }
    err << OwnFileRefusalText(which) << "\n" << output << "\n";
    return true;
}

int Info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return OnVideo(args.size() == 2, args, err, [&](const OpenedVideo&, CAviVideoStream& stream) {
        for (const std::string& line : StreamInfoLines(&stream, stream.GetStart())) {
            out << line << "\n";
        }
        return 0;
    });
}

int Frame(const std::vector<std::string>& args, std::ostream& err) {
    long long frame = 0;
    const bool argsOk = args.size() == 4 && ParseInt(args[2], &frame);
    return OnVideo(argsOk, args, err, [&](const OpenedVideo& video, CAviVideoStream& stream) {
        if (RefusedOutput(video, args[3], err)) {
            return 1;
        }
        if (frame < stream.GetStart() || frame > stream.GetEnd()) {
            err << "frame " << frame << " is outside " << stream.GetStart() << ".."
                << stream.GetEnd() << "\n";
            return 1;
        }
        bool decoded = false;
        if (!stream.SaveFrameAsBmp(int(frame), args[3], &decoded)) {
            if (decoded) {
                err << "cannot write " << args[3] << "\n";
            } else {
                err << "frame " << frame << " of " << args[1] << " cannot be decoded\n";
            }
            return 1;
        }
        return 0;
    });
}

// Decodes the frames in the given order; prints the frame count, the time per frame and a
// checksum of the pictures, so runs can be compared.
int DecodeTimed(CAviVideoStream& stream, const std::string& order, long long count,
                std::ostream& out) {
    const int first = stream.GetStart();
    const int last = stream.GetEnd();
    const long long total = count >= 0 ? count : (long long)(last - first + 1);
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> anywhere(first, last);

    Checksum checksum;
    std::chrono::steady_clock::duration spent{};
    long long done = 0;
    for (; done < total; ++done) {
        int n;
        if (order == "forward") {
            n = first + int(done % (last - first + 1));
        } else if (order == "backward") {
            n = last - int(done % (last - first + 1));
        } else {
            n = anywhere(random);
        }
        const auto start = std::chrono::steady_clock::now();
        stream.LoadFrame(n);
        spent += std::chrono::steady_clock::now() - start;
        const kivra::Dib& picture = stream.DisplayBitmap();
        checksum.Add(picture.bits.data(), picture.bits.size());
    }
    const double ms = std::chrono::duration<double, std::milli>(spent).count();
    char line[128];
    std::snprintf(line, sizeof line, "frames=%lld ms_per_frame=%.3f checksum=%016" PRIx64, done,
                  done > 0 ? ms / double(done) : 0.0, checksum.value());
    out << line << "\n";
    return 0;
}

int Decode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string order;
    long long count = -1;
    bool argsOk = args.size() >= 2;
    for (size_t i = 2; argsOk && i < args.size(); ++i) {
        if (args[i] == "--order" && i + 1 < args.size()) {
            order = args[++i];
        } else if (args[i] == "--count" && i + 1 < args.size() && ParseInt(args[i + 1], &count) &&
                   count >= 0) {
            ++i;
        } else {
            argsOk = false;
        }
    }
    argsOk = argsOk && (order == "forward" || order == "backward" || order == "random");
    return OnVideo(argsOk, args, err, [&](const OpenedVideo&, CAviVideoStream& stream) {
        return DecodeTimed(stream, order, count, out);
    });
}

int Csv(const std::vector<std::string>& args, std::ostream& err) {
    return OnVideo(args.size() == 3, args, err, [&](const OpenedVideo& video, CAviVideoStream&) {
        if (video.Annotations()->m_markers.GetLoadState() != CLFFManager::kLoaded) {
            err << "no marker file for " << args[1] << "\n";
            return 1;
        }
        if (RefusedOutput(video, args[2], err)) {
            return 1;
        }
        const ActionResult written = video.Actions().ExportCoordinateCsv(args[2]);
        if (!written.ok()) {
            err << written.message << "\n";
            return 1;
        }
        return 0;
    });
}

// Progress of a long job as one line on the terminal; silent when stderr is not a terminal.
class TerminalProgress final : public ProgressSink {
public:
    explicit TerminalProgress(std::ostream& err) : err_(err), shown_(::isatty(2) != 0) {}
    ~TerminalProgress() override { End(); }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void Begin(int lower, int upper, const std::string& caption, PercentLabel) override {
        End();
        lower_ = lower;
        upper_ = upper;
        caption_ = caption;
        percent_ = -1;
        SetPosition(lower);
    }
    void SetCaption(const std::string& caption) override { caption_ = caption; }
    void SetPosition(int position) override {
        if (!shown_ || upper_ <= lower_) {
            return;
        }
        const int percent = int((int64_t(position) - lower_) * 100 / (int64_t(upper_) - lower_));
        if (percent == percent_) {
            return;  // one line update per percent is plenty for a terminal
        }
        percent_ = percent;
        err_ << "\r" << caption_ << " " << position - lower_ << "/" << upper_ - lower_ << " ("
             << percent << "%)" << std::flush;
        open_ = true;
    }
    void Pump() override {}
    void End() override {
        if (open_) {
            err_ << "\n";
            open_ = false;
        }
    }

private:
    std::ostream& err_;
    const bool shown_;
    bool open_ = false;
    int lower_ = 0, upper_ = 0, percent_ = -1;
    std::string caption_;
};

// The writer's messages go to stderr.
class StderrMessages final : public UserMessages {
public:
    explicit StderrMessages(std::ostream& err) : err_(err) {}
    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon) override {
        err_ << text;
        if (text.empty() || text.back() != '\n') {
            err_ << "\n";
        }
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }

private:
    std::ostream& err_;
};

// The first profile whose filter pattern ("desc|*.mp4;*.m4v|") names the extension (".mp4");
// -1 when none does.
int ProfileForExtension(const std::vector<std::string>& filters, const std::string& extension) {
    for (size_t i = 0; i < filters.size(); ++i) {
        const std::string& filter = filters[i];
        const size_t open = filter.find('|');
        if (open == std::string::npos || extension.empty()) {
            continue;
        }
        const size_t close = filter.find('|', open + 1);
        std::string_view patterns(filter);
        patterns = patterns.substr(
            open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
        while (!patterns.empty()) {
            const size_t semi = patterns.find(';');
            std::string_view pattern = patterns.substr(0, semi);
            patterns =
                semi == std::string_view::npos ? std::string_view() : patterns.substr(semi + 1);
            while (!pattern.empty() && pattern.front() == ' ') {
                pattern.remove_prefix(1);
            }
            while (!pattern.empty() && pattern.back() == ' ') {
                pattern.remove_suffix(1);
            }
            if (pattern.size() == extension.size() + 1 && pattern.front() == '*' &&
                EqualsIgnoreCase(pattern.substr(1), extension)) {
                return int(i);
            }
        }
    }
    return -1;
}

int Export(const std::vector<std::string>& args, std::ostream& err) {
    std::string codec = kRecommendedCode;
    std::optional<std::string> options;
    long long profile = -1;
    bool argsOk = args.size() >= 3;
    for (size_t i = 3; argsOk && i < args.size(); ++i) {
        if (args[i] == "--codec" && i + 1 < args.size()) {
            codec = args[++i];
        } else if (args[i] == "--options" && i + 1 < args.size()) {
            options = args[++i];
        } else if (args[i] == "--profile" && i + 1 < args.size() &&
                   ParseInt(args[i + 1], &profile) && profile >= 0) {
            ++i;
        } else {
            argsOk = false;
        }
    }
    if (!argsOk) {
        err << kUsage;
        return 2;
    }
    const std::string& target = args[2];

    // As the codec list shows it: upper case, padded to four ("DIB" is "DIB ").
    const std::string code = FourCCText(MakeFourCC(codec));
    const std::optional<CompressorInfo> compressor =
        codec.empty() || codec.size() > 4 ? std::nullopt : FindCompressor(MakeFourCC(code));
    if (!compressor) {
        err << "unknown compressor code: " << codec << "\n";
        return 1;
    }
    CompressOptions compress;
    compress.fccType = MakeFourCC("vids");
    compress.fccHandler = MakeFourCC(code);
    compress.parameters =
        options ? *options : (code == kRecommendedCode ? kRecommendedState : std::string());

    const bool aviTarget = EndsWithIgnoreCase(target, ".avi");
    int profileIndex = -1;
    if (!aviTarget) {
        const CFormatIniFile profiles;
        if (profile >= 0) {
            if (profile >= (long long)profiles.Filters().size()) {
                err << "profile " << profile << " is not in " << profiles.Path() << " (it has "
                    << profiles.Filters().size() << ", counted from 0)\n";
                return 1;
            }
            profileIndex = int(profile);
        } else {
            profileIndex = ProfileForExtension(profiles.Filters(), FileExtension(target));
            if (profileIndex < 0) {
                err << "no profile in " << profiles.Path() << " writes \"" << FileExtension(target)
                    << "\" files\n";
                return 1;
            }
        }
    }

    return OnVideo(
        true, args, err,
        [&](const OpenedVideo& video, CAviVideoStream&) {
            if (video.Annotations()->m_markers.GetLoadState() != CLFFManager::kLoaded) {
                err << "no marker file for " << args[1] << "\n";
                return 1;
            }
            if (!video.AreasSet()) {
                err << "the marker file of " << args[1] << " has no trimming areas\n";
                return 1;
            }
            const auto [width, height] = video.Session().OutputSize();
            if (width <= 0 || height <= 0) {
                err << "the marker file of " << args[1] << " has no known output size\n";
                return 1;
            }
            TerminalProgress progress(err);
            StderrMessages messages(err);
            const ActionResult saved = video.Actions().SaveTrimmedMovie(
                {target, profileIndex, compress}, progress, messages);
            progress.End();
            switch (saved.stage) {
                case ActionResult::kNoStage:
                    return 0;
                case ActionResult::kOwnFile:
                    err << saved.message << "\n" << saved.detail << "\n";
                    return 1;
                case ActionResult::kBlockedTarget:
                    err << "Export error!!\n"
                        << saved.detail << " is in the way (not a regular file)\n";
                    return 1;
                case ActionResult::kWrite:
                    err << "Export error!!\n";
                    if (!saved.detail.empty()) {
                        err << saved.detail << "\n";
                    }
                    return 1;
                default:
                    err << saved.detail << "\n";
                    return 1;
            }
        },
        /*withSound=*/false);  // the movie holds no sound
}

// "1,3,4": positive IDs separated by commas.
bool ParseIds(const std::string& text, std::vector<int>* ids) {
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        long long id = 0;
        if (!ParseInt(text.substr(at, comma - at), &id) || id <= 0 || id > CLFFManager::kMaxRows) {
            return false;
        }
        ids->push_back(int(id));
        at = comma + 1;
    }
    return !ids->empty();
}

int Track(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    long long from = -1;
    long long to = -1;
    bool hasFrom = false;
    bool hasTo = false;
    std::vector<int> ids;
    bool argsOk = args.size() >= 2;
    for (size_t i = 2; argsOk && i < args.size(); ++i) {
        if (args[i] == "--from" && i + 1 < args.size() && ParseInt(args[i + 1], &from)) {
            hasFrom = true;
            ++i;
        } else if (args[i] == "--to" && i + 1 < args.size() && ParseInt(args[i + 1], &to)) {
            hasTo = true;
            ++i;
        } else if (args[i] == "--ids" && i + 1 < args.size() && ids.empty() &&
                   ParseIds(args[i + 1], &ids)) {
            ++i;
        } else {
            argsOk = false;
        }
    }
    return OnVideo(
        argsOk, args, err,
        [&](const OpenedVideo& video, CAviVideoStream& stream) {
            EditSession& session = video.Session();
            CLFFManager& markers = session.Annotations()->m_markers;
            const std::string markerFile = stream.MarkerFilePath();
            if (markers.GetLoadState() == CLFFManager::kNoFile) {
                err << "no marker file for " << args[1] << " (" << markerFile << ")\n";
                return 1;
            }
            if (markers.GetLoadState() != CLFFManager::kLoaded) {
                err << "the marker file " << markerFile << " cannot be read\n";
                return 1;
            }
            if (!hasFrom) {
                from = video.RangeStart();
            }
            if (!hasTo) {
                to = video.RangeEnd();
            }
            for (const long long frame : {from, to}) {
                if (frame < stream.GetStart() || frame > stream.GetEnd()) {
                    err << "frame " << frame << " is outside " << stream.GetStart() << ".."
                        << stream.GetEnd() << "\n";
                    return 1;
                }
            }
            if (to <= from) {
                err << "frame " << to << " to track to is not after frame " << from << "\n";
                return 1;
            }
            std::vector<T_DRAW_MARKER> onFrom;
            markers.GetFrameMarkers(int(from), onFrom);
            const bool anyWanted = std::any_of(onFrom.begin(), onFrom.end(), [&](const auto& m) {
                return ids.empty() || std::find(ids.begin(), ids.end(), m.ID) != ids.end();
            });
            if (!anyWanted) {
                err << "frame " << from << " has no " << (ids.empty() ? "" : "such ")
                    << "markers to follow\n";
                return 1;
            }

            TrackRequest request;
            request.startFrame = int(from);
            request.endFrame = int(to);
            request.ids = ids;
            request.caption = "tracking";
            TerminalProgress progress(err);
            const FollowResult followed = video.Actions().FollowMarkers(request, progress);
            progress.End();
            const TrackResult& result = followed.track;
            if (!followed.result.ok()) {
                err << result.failure << "\n";
                return 1;
            }
            // The header goes back as it came: only the rows change. A failure was told.
            if (!video.Actions().SaveMarkerRows().ok()) {
                return 1;
            }
            for (const IdTrack& track : result.tracks) {
                out << "ID " << track.id << ": " << track.placed.size() << " frames";
                if (!track.placed.empty()) {
                    out << " (" << track.placed.front().frame << ".." << track.placed.back().frame
                        << ")";
                }
                out << ", " << TrackStopText(track) << "\n";
            }
            return 0;
        },
        /*withSound=*/false);  // tracking never plays the sound
}

// A finite number above zero, written with a decimal point.
bool ParsePositive(const std::string& text, double* value) {
    const std::optional<double> number = ParsePositiveNumber(text);
    *value = number.value_or(0.0);
    return number.has_value();
}

int Kinematics(const std::vector<std::string>& args, std::ostream& err) {
    KinematicsOptions options;
    std::optional<double> scale;
    std::string problem;
    bool argsOk = args.size() >= 3;
    for (size_t i = 3; argsOk && i < args.size(); ++i) {
        double value = 0.0;
        if (args[i] == "--angle" && i + 1 < args.size()) {
            std::string why;
            std::optional<NamedAngle> angle = ParseNamedAngle(args[++i], &why);
            if (angle) {
                options.angles.push_back(std::move(*angle));
            } else {
                problem = "--angle " + args[i] + ": " + why;
                argsOk = false;
            }
        } else if (args[i] == "--joint" && i + 1 < args.size()) {
            std::string why;
            std::optional<ClinicalAngle> joint = ParseClinicalAngle(args[++i], &why);
            if (joint) {
                options.joints.push_back(*joint);
            } else {
                problem = "--joint " + args[i] + ": " + why;
                argsOk = false;
            }
        } else if ((args[i] == "--scale" || args[i] == "--filter") && i + 1 < args.size()) {
            if (!ParsePositive(args[i + 1], &value)) {
                problem = NumberProblem(args[i], args[i + 1]);
                argsOk = false;
            } else if (args[i] == "--scale") {
                scale = value;
            } else {
                options.filterHz = value;
            }
            ++i;
        } else {
            argsOk = false;
        }
    }
    if (const auto twice = DuplicateAngleName(options.angles); argsOk && twice) {
        problem = AngleNameTwiceText(*twice);
        argsOk = false;
    }
    if (argsOk) {
        if (auto twice = JointGivenTwice(options.angles, options.joints, /*cycleColumns=*/false)) {
            problem = std::move(*twice);
            argsOk = false;
        }
    }
    if (!argsOk) {
        if (!problem.empty()) {
            err << problem << "\n";
        }
        err << kUsage;
        return 2;
    }
    return OnVideo(
        true, args, err,
        [&](const OpenedVideo& video, CAviVideoStream&) {
            const CLFFManager& markers = video.Annotations()->m_markers;
            if (markers.GetLoadState() != CLFFManager::kLoaded) {
                err << NoMarkerFileText(args[1]) << "\n";
                return 1;
            }
            if (RefusedOutput(video, args[2], err)) {
                return 1;
            }
            if (scale) {
                options.calibration = Calibration{*scale, std::nullopt, std::nullopt};
            } else {
                const std::string kcal = CalibrationPath(args[1]);
                const CalibrationRead read = ReadCalibrationFile(kcal);
                // Pixels written where millimetres were meant would pass unnoticed downstream.
                if (read.status == CalibrationRead::kDamaged) {
                    err << DamagedCalibrationText(kcal, read.problem) << "\n";
                    return 1;
                }
                if (read.status == CalibrationRead::kLoaded) {
                    options.calibration = read.calibration;
                }
            }
            const int first = video.RangeStart();
            const int last = video.RangeEnd();
            auto missing = AnglesWithoutData(markers, first, last, options.angles);
            for (AngleWithoutData& m : AnglesWithoutData(markers, first, last, options.joints)) {
                missing.push_back(std::move(m));
            }
            for (const AngleWithoutData& m : missing) {
                err << ArgText(
                           translate("CliMessages",
                                     "角度 %1 (マーカ %2) には、%3 の再生範囲にデータがありません"),
                           {m.name, std::to_string(m.id), args[1]})
                    << "\n";
            }
            if (!missing.empty()) {
                return 1;
            }
            const KinematicsExport exported = video.Actions().ExportKinematicsCsv(args[2], options);
            if (!exported.result.ok()) {
                err << exported.result.message << "\n";
                return 1;
            }
            return 0;
        },
        /*withSound=*/false);
}

// gait and report: the analysis of the markers over the play range, as CSV files or a PDF.
int Gait(const std::vector<std::string>& args, std::ostream& err) {
    GaitArguments arguments;
    std::string problem;
    const int parsed = ParseGaitArguments(args, arguments, problem);
    if (parsed != 0) {
        if (!problem.empty()) {
            err << problem << "\n";
        }
        if (parsed == 2) {
            err << kUsage;
        }
        return parsed;
    }
    return OnVideo(
        true, args, err,
        [&](const OpenedVideo& video, CAviVideoStream& stream) {
            if (RefusedOutput(video, arguments.output, err)) {
                return 1;
            }
            GaitSource source;
            source.actions = &video.Actions();
            source.markerFileLoaded =
                video.Annotations()->m_markers.GetLoadState() == CLFFManager::kLoaded;
            source.calibrationPath = CalibrationPath(args[1]);  // where the window keeps it
            if (args[0] == "gait") {
                return RunGait(arguments, source, err);
            }
            source.picture = [&stream](int frame) {
                stream.LoadFrame(frame);
                return &stream.DisplayBitmap();
            };
            return RunReport(arguments, source, err);
        },
        /*withSound=*/false);
}

}  // namespace

int Run(const std::vector<std::string>& given, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args;
    g_convertSources = false;
    for (const std::string& arg : given) {
        if (arg == "--convert") {
            g_convertSources = true;
        } else {
            args.push_back(arg);
        }
    }
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    if (args[0] == "info") {
        return Info(args, out, err);
    }
    if (args[0] == "frame") {
        return Frame(args, err);
    }
    if (args[0] == "decode") {
        return Decode(args, out, err);
    }
    if (args[0] == "csv") {
        return Csv(args, err);
    }
    if (args[0] == "kinematics") {
        return Kinematics(args, err);
    }
    if (args[0] == "export") {
        return Export(args, err);
    }
    if (args[0] == "track") {
        return Track(args, out, err);
    }
    if (args[0] == "gait" || args[0] == "report") {
        return Gait(args, err);
    }
    err << kUsage;
    return 2;
}

}  // namespace kivra::cli
