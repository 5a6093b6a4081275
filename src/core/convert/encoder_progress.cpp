#include "convert/encoder_progress.h"

#include <algorithm>
#include <charconv>

namespace kivra {

namespace {

constexpr size_t kMaxLine = 4096;

std::optional<std::int64_t> ReadNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data()) {
        return std::nullopt;  // "N/A" before the first frame
    }
    return value;
}

}  // namespace

void EncoderProgress::Feed(std::string_view chunk) {
    while (!chunk.empty()) {
        const size_t end = chunk.find('\n');
        if (end == std::string_view::npos) {
            partial_.append(chunk);
            if (partial_.size() > kMaxLine) {
                partial_.clear();  // no report line is this long
            }
            return;
        }
        partial_.append(chunk.substr(0, end));
        TakeLine(partial_);
        partial_.clear();
        chunk.remove_prefix(end + 1);
    }
}

void EncoderProgress::TakeLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return;
    }
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == "out_time_us") {
        if (const auto us = ReadNumber(value); us && *us >= 0) {
            outTimeUs_ = *us;
        }
    } else if (key == "frame") {
        frames_ = ReadNumber(value).value_or(frames_);
    } else if (key == "total_size") {
        totalSize_ = ReadNumber(value).value_or(totalSize_);
    } else if (key == "progress") {
        // The last line of each report.
        if (outTimeUs_ != lastOutTimeUs_ || frames_ != lastFrames_ ||
            totalSize_ != lastTotalSize_) {
            ++advances_;
        }
        lastOutTimeUs_ = outTimeUs_;
        lastFrames_ = frames_;
        lastTotalSize_ = totalSize_;
        ended_ = ended_ || value == "end";
    }
}

std::optional<int> EncoderProgress::Permille(std::chrono::milliseconds duration) const {
    if (outTimeUs_ < 0 || duration.count() <= 0) {
        return std::nullopt;
    }
    const std::int64_t done = outTimeUs_ / 1000 * 1000 / duration.count();
    return static_cast<int>(std::clamp<std::int64_t>(done, 0, 1000));
}

std::optional<int> RemainingSeconds(int permille, std::chrono::milliseconds elapsed) {
    if (permille < 20 || elapsed < std::chrono::seconds(1)) {
        return std::nullopt;
    }
    if (permille >= 1000) {
        return 0;
    }
    const double total = static_cast<double>(elapsed.count()) * 1000.0 / permille;
    const double left = (total - static_cast<double>(elapsed.count())) / 1000.0;
    return static_cast<int>(left + 0.5);
}

}  // namespace kivra
