#include "app/cli/commands.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <random>

#include "app/inifile_manager.h"
#include "markers/trimming_state.h"
#include "media/stream_info_text.h"
#include "media/vfw_doc.h"
#include "platform/settings_folder.h"
#include "platform/string_table.h"

namespace kivra::cli {

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  kivra-cli info FILE\n"
    "  kivra-cli frame FILE N OUT.bmp\n"
    "  kivra-cli decode FILE --order forward|backward|random [--count N]\n"
    "  kivra-cli csv VIDEO OUT.csv\n";
constexpr int kStrCsvFailed = 2036;  // "CSV出力に失敗しました。"

// The document's host when there is no window: messages go to stderr, questions are declined.
class HeadlessHost final : public DocumentHost {
public:
    HeadlessHost(std::ostream& err, CInifileManager& settings) : err_(err), settings_(settings) {}
    void Attach(CVfwDoc* doc) { doc_ = doc; }

    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon) override {
        err_ << text << "\n";
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }
    bool HasMainFrame() const override { return true; }
    bool IsMarkerIdDialogVisible() const override { return false; }
    void ToggleMarkerIdDialog() override {}
    void SaveMarkers() override {}
    void StopPlayback() override {}
    void CloseCommand() override {
        if (doc_ != nullptr) {
            doc_->OnNewDocument();
        }
    }
    void UpdateAllViews() override {}
    void UpdateRateStatus() override {}
    void SetViewMode(int) override {}
    void ResetTrackbar(int) override {}
    void ResetViewsAndModes(int) override {}
    void PostFirstFrameCommand() override {
        if (doc_ != nullptr && doc_->Stream() != nullptr) {
            doc_->Stream()->SetPosition(doc_->Stream()->GetStart());
        }
    }
    void RestoreTrimmingState(const CLFFManager& markers) override {
        CAviVideoStream* stream = doc_ != nullptr ? doc_->Stream() : nullptr;
        if (stream == nullptr) {
            return;
        }
        const TrimmingState state = TrimmingStateFromMarkers(markers, stream->GetFrameCount());
        ApplyTrimmingState(state, settings_, stream->GetFrameCount(), stream->m_trimParam);
        rangeStart = state.rangeStart;
        rangeEnd = state.rangeEnd;
    }

    ProgressSink& Progress() override { return progress_; }

    int rangeStart = -1;
    int rangeEnd = -1;

private:
    std::ostream& err_;
    CInifileManager& settings_;
    NullProgressSink progress_;
    CVfwDoc* doc_ = nullptr;
};

// A document opened headless; null stream when the open failed (the reason went to err).
class OpenedVideo {
public:
    OpenedVideo(const std::string& path, std::ostream& err)
        : settings_(std::string()),
          host_(err, settings_),
          doc_(host_, &settings_, UserSettingsFolder()) {
        host_.Attach(&doc_);
        if (doc_.OnOpenDocument(path) && doc_.Stream() != nullptr && host_.rangeStart < 0) {
            host_.rangeStart = 0;
            host_.rangeEnd = doc_.Stream()->GetFrameCount() - 1;
        }
    }
    CAviVideoStream* Stream() const { return doc_.Stream(); }
    int RangeStart() const { return host_.rangeStart; }
    int RangeEnd() const { return host_.rangeEnd; }

private:
    // Defaults in memory only: the batch tool never reads or writes the user's settings.
    CInifileManager settings_;
    HeadlessHost host_;
    CVfwDoc doc_;
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
            const std::function<int(const OpenedVideo&, CAviVideoStream&)>& work) {
    if (!argsOk) {
        err << kUsage;
        return 2;
    }
    const OpenedVideo video(args[1], err);
    if (video.Stream() == nullptr) {
        return 1;
    }
    return work(video, *video.Stream());
}

int Info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return OnVideo(args.size() == 2, args, err, [&](const OpenedVideo&, CAviVideoStream& stream) {
        for (const std::string& line : StreamInfoLines(&stream)) {
            out << line << "\n";
        }
        return 0;
    });
}

int Frame(const std::vector<std::string>& args, std::ostream& err) {
    long long frame = 0;
    const bool argsOk = args.size() == 4 && ParseInt(args[2], &frame);
    return OnVideo(argsOk, args, err, [&](const OpenedVideo&, CAviVideoStream& stream) {
        if (frame < stream.GetStart() || frame > stream.GetEnd()) {
            err << "frame " << frame << " is outside " << stream.GetStart() << ".."
                << stream.GetEnd() << "\n";
            return 1;
        }
        stream.SetPosition(int(frame));
        if (!stream.SaveFrameAsBmp(args[3])) {
            err << "cannot write " << args[3] << "\n";
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
        stream.SetPosition(n);
        stream.LoadFrame(-1);
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
    return OnVideo(
        args.size() == 3, args, err, [&](const OpenedVideo& video, CAviVideoStream& stream) {
            if (stream.m_markers.GetLoadState() != CLFFManager::kLoaded) {
                err << "no marker file for " << args[1] << "\n";
                return 1;
            }
            if (!stream.ExportMarkersCsv(args[2], video.RangeStart(), video.RangeEnd())) {
                err << LoadString(kStrCsvFailed) << "\n";
                return 1;
            }
            return 0;
        });
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
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
    err << kUsage;
    return 2;
}

}  // namespace kivra::cli
