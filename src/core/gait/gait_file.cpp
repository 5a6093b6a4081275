#include "gait/gait_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "platform/number_text.h"
#include "platform/path_util.h"
#include "platform/read_only_file.h"
#include "platform/replace_file.h"

namespace kivra {
namespace {

GaitFileRead Damaged(std::string problem) {
    GaitFileRead read;
    read.status = GaitFileRead::kDamaged;
    read.problem = std::move(problem);
    return read;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
            ++i;
        }
        if (i > start) {
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

bool ParseInt(std::string_view text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string GaitFilePath(const std::string& markerPath) {
    return ReplaceExtension(markerPath, ".kgait");
}

std::string FormatGaitFile(const std::vector<GaitEvent>& events) {
    const bool moments = std::any_of(events.begin(), events.end(),
                                     [](const GaitEvent& e) { return e.moment != e.frame; });
    std::string text = "kivra-gait " + std::to_string(moments ? kGaitFileVersion : 1) + "\n";
    for (const GaitEvent& e : events) {
        text +=
            "event " + std::to_string(e.frame) + " " + SideName(e.side) + " " + EventName(e.kind);
        if (e.moment != e.frame) {
            text += " " + FixedText(e.moment, 3);
        }
        text += "\n";
    }
    return text;
}

GaitFileRead ParseGaitFile(std::string_view text) {
    GaitFileRead read;
    std::size_t pos = 0;
    int number = 0;
    bool headed = false;
    int headedVersion = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        const std::vector<std::string_view> words = Words(line);
        if (words.empty() || words[0].starts_with('#')) {
            continue;
        }
        const std::string where = "line " + std::to_string(number) + ": ";
        if (!headed) {
            int version = 0;
            if (words.size() != 2 || words[0] != "kivra-gait" || !ParseInt(words[1], version)) {
                return Damaged("this is not a gait events file");
            }
            if (version < 1 || version > kGaitFileVersion) {
                return Damaged("the file is of version " + std::to_string(version) +
                               ", which this program does not read");
            }
            headed = true;
            headedVersion = version;
            continue;
        }
        if (words[0] != "event") {
            return Damaged(where + "unknown entry \"" + Excerpt(words[0]) + "\"");
        }
        GaitEvent e;
        const std::size_t given = headedVersion >= 2 ? 5 : 4;
        if (words.size() < 4 || words.size() > given || !ParseInt(words[1], e.frame) ||
            e.frame < 0) {
            return Damaged(where + "an event needs a frame, a side and a kind");
        }
        e.moment = e.frame;
        if (words.size() == 5) {
            double moment = 0.0;
            const auto [end, error] =
                std::from_chars(words[4].data(), words[4].data() + words[4].size(), moment);
            if (error != std::errc() || end != words[4].data() + words[4].size() ||
                !(std::abs(moment - e.frame) <= 0.5)) {
                return Damaged(where + "an event's moment lies within half a frame of its frame");
            }
            e.moment = moment;
        }
        if (words[2] == "R" || words[2] == "L") {
            e.side = words[2] == "R" ? FootSide::kRight : FootSide::kLeft;
        } else {
            return Damaged(where + "the side must be R or L");
        }
        if (words[3] == "HS" || words[3] == "TO") {
            e.kind = words[3] == "HS" ? GaitEventKind::kHeelStrike : GaitEventKind::kToeOff;
        } else {
            return Damaged(where + "the event must be HS or TO");
        }
        read.events.push_back(e);
    }
    if (!headed) {
        return Damaged("this is not a gait events file");
    }
    std::sort(read.events.begin(), read.events.end());
    read.events.erase(std::unique(read.events.begin(), read.events.end()), read.events.end());
    read.status = GaitFileRead::kLoaded;
    return read;
}

GaitFileRead ReadGaitFile(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        return {};
    }
    if (status.type() != std::filesystem::file_type::regular) {
        return Damaged("the file cannot be read");
    }
    const ReadOnlyFile file(path);
    if (!file.ok()) {
        return Damaged("the file cannot be read");
    }
    if (file.size() > kMaxGaitFileBytes) {
        return Damaged("the file is too large to be a gait events file");
    }
    const std::vector<uint8_t> bytes = file.ReadUpTo(0, file.size());
    if (bytes.size() != file.size()) {
        return Damaged("the file cannot be read");
    }
    return ParseGaitFile(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool WriteGaitFile(const std::string& path, const std::vector<GaitEvent>& events) {
    return ReplaceFileContents(path, FormatGaitFile(events));
}

}  // namespace kivra
