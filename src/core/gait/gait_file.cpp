#include "gait/gait_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "kinematics/joint_angle.h"
#include "platform/number_text.h"
#include "platform/path_util.h"
#include "platform/read_only_file.h"
#include "platform/replace_file.h"
#include "platform/translation.h"

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

// "front-pelvis R L TRUNK" or "front-leg SIDE HIP KNEE ANKLE HEEL" into setup.
bool ReadFrontalLine(const std::vector<std::string_view>& words,
                     std::optional<FrontalSetup>& setup) {
    const bool pelvis = words[0] == "front-pelvis";
    if (words.size() != (pelvis ? 4u : 6u) || (!pelvis && words[1] != "R" && words[1] != "L")) {
        return false;
    }
    std::vector<int> ids;
    for (std::size_t i = pelvis ? 1 : 2; i < words.size(); ++i) {
        int id = 0;
        if (!ParseInt(words[i], id) || id < 0 || id > kMaxAngleMarkerId) {
            return false;
        }
        ids.push_back(id);
    }
    FrontalSetup& s = setup ? *setup : setup.emplace();
    if (pelvis) {
        s.pelvisRight = ids[0];
        s.pelvisLeft = ids[1];
        s.trunk = ids[2];
    } else {
        (words[1] == "R" ? s.right : s.left) = {ids[0], ids[1], ids[2], ids[3]};
    }
    return true;
}

// "foot SIDE HEEL TOE" or "pelvis ID" into feet; false for a line that is neither.
bool ReadFootLine(const std::vector<std::string_view>& words, std::optional<FootRoles>& feet) {
    const bool pelvis = words[0] == "pelvis";
    if (words.size() != (pelvis ? 2u : 4u) || (!pelvis && words[1] != "R" && words[1] != "L")) {
        return false;
    }
    std::vector<int> ids;
    for (std::size_t i = pelvis ? 1 : 2; i < words.size(); ++i) {
        int id = 0;
        if (!ParseInt(words[i], id) || id < 1 || id > kMaxAngleMarkerId) {
            return false;
        }
        ids.push_back(id);
    }
    FootRoles& f = feet ? *feet : feet.emplace();
    if (pelvis) {
        f.pelvisId = ids[0];
    } else if (ids[0] == ids[1]) {
        return false;
    } else {
        (words[1] == "R" ? f.right : f.left) = FootMarkers{ids[0], ids[1]};
    }
    return true;
}

// Roles that name nothing are none, so that they never make a file of version 3.
std::optional<FootRoles> Named(const std::optional<FootRoles>& feet) {
    return feet && *feet != FootRoles{} ? feet : std::nullopt;
}

}  // namespace

FootRoles FootRoles::Of(const GaitSetup& setup) {
    return {setup.right, setup.left, setup.pelvisId};
}

GaitSetup FootRoles::AppliedTo(GaitSetup setup) const {
    setup.right = right;
    setup.left = left;
    setup.pelvisId = pelvisId;
    return setup;
}

std::string GaitFilePath(const std::string& markerPath) {
    return ReplaceExtension(markerPath, ".kgait");
}

std::string FormatGaitFile(const std::vector<GaitEvent>& events,
                           const std::optional<FrontalSetup>& frontal,
                           const std::optional<FootRoles>& feet) {
    const bool moments = std::any_of(events.begin(), events.end(),
                                     [](const GaitEvent& e) { return e.moment != e.frame; });
    const std::optional<FootRoles> named = Named(feet);
    const int version = frontal || named ? 3 : moments ? 2 : 1;
    std::string text = "kivra-gait " + std::to_string(version) + "\n";
    if (named) {
        for (const auto& [side, foot] :
             {std::pair("R", named->right), std::pair("L", named->left)}) {
            if (foot) {
                text += "foot " + std::string(side) + " " + std::to_string(foot->heelId) + " " +
                        std::to_string(foot->toeId) + "\n";
            }
        }
        if (named->pelvisId > 0) {
            text += "pelvis " + std::to_string(named->pelvisId) + "\n";
        }
    }
    if (frontal) {
        const auto leg = [](const char* side, const FrontalSetup::Leg& l) {
            return "front-leg " + std::string(side) + " " + std::to_string(l.hip) + " " +
                   std::to_string(l.knee) + " " + std::to_string(l.ankle) + " " +
                   std::to_string(l.heel) + "\n";
        };
        text += "front-pelvis " + std::to_string(frontal->pelvisRight) + " " +
                std::to_string(frontal->pelvisLeft) + " " + std::to_string(frontal->trunk) + "\n" +
                leg("R", frontal->right) + leg("L", frontal->left);
    }
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
        const auto where = [number](const std::string& problem) {
            return ArgText(translate("GaitMessages", "%1 行目: %2"),
                           {std::to_string(number), problem});
        };
        if (!headed) {
            int version = 0;
            if (words.size() != 2 || words[0] != "kivra-gait" || !ParseInt(words[1], version)) {
                return Damaged(translate("GaitMessages", "歩行イベントファイルではありません"));
            }
            if (version < 1 || version > kGaitFileVersion) {
                return Damaged(ArgText(translate("GaitMessages",
                                                 "ファイルのバージョン %1 は"
                                                 "このプログラムでは読めません"),
                                       {std::to_string(version)}));
            }
            headed = true;
            headedVersion = version;
            continue;
        }
        if (headedVersion >= 3 && (words[0] == "front-pelvis" || words[0] == "front-leg")) {
            if (!ReadFrontalLine(words, read.frontal)) {
                return Damaged(where(
                    ArgText(translate("GaitMessages",
                                      "正面のマーカは 0 から %1 までの ID で指定してください"),
                            {std::to_string(kMaxAngleMarkerId)})));
            }
            continue;
        }
        if (headedVersion >= 3 && (words[0] == "foot" || words[0] == "pelvis")) {
            if (!ReadFootLine(words, read.feet)) {
                return Damaged(where(ArgText(
                    translate("GaitMessages",
                              "足のマーカは foot R か L と踵とつま先、骨盤は pelvis と、"
                              "1 から %1 までの ID (踵とつま先は別の ID) で指定してください"),
                    {std::to_string(kMaxAngleMarkerId)})));
            }
            continue;
        }
        if (words[0] != "event") {
            return Damaged(where(
                ArgText(translate("GaitMessages", "不明な項目 \"%1\""), {Excerpt(words[0])})));
        }
        GaitEvent e;
        const std::size_t given = headedVersion >= 2 ? 5 : 4;
        if (words.size() < 4 || words.size() > given || !ParseInt(words[1], e.frame) ||
            e.frame < 0) {
            return Damaged(
                where(translate("GaitMessages", "イベントにはフレーム、足、種類が必要です")));
        }
        e.moment = e.frame;
        if (words.size() == 5) {
            double moment = 0.0;
            const auto [end, error] =
                std::from_chars(words[4].data(), words[4].data() + words[4].size(), moment);
            if (error != std::errc() || end != words[4].data() + words[4].size() ||
                !(std::abs(moment - e.frame) <= 0.5)) {
                return Damaged(where(translate(
                    "GaitMessages",
                    "イベントの時刻はそのフレームから半フレーム以内でなければなりません")));
            }
            e.moment = moment;
        }
        if (words[2] == "R" || words[2] == "L") {
            e.side = words[2] == "R" ? FootSide::kRight : FootSide::kLeft;
        } else {
            return Damaged(where(translate("GaitMessages", "足は R か L で指定してください")));
        }
        if (words[3] == "HS" || words[3] == "TO") {
            e.kind = words[3] == "HS" ? GaitEventKind::kHeelStrike : GaitEventKind::kToeOff;
        } else {
            return Damaged(
                where(translate("GaitMessages", "イベントは HS か TO で指定してください")));
        }
        read.events.push_back(e);
    }
    if (!headed) {
        return Damaged(translate("GaitMessages", "歩行イベントファイルではありません"));
    }
    if ((read.frontal || read.feet) && read.events.empty()) {
        read.status = GaitFileRead::kMissing;  // roles alone: the events are detected
        return read;
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
        return Damaged(translate("GaitMessages", "ファイルを読めません"));
    }
    const ReadOnlyFile file(path);
    if (!file.ok()) {
        return Damaged(translate("GaitMessages", "ファイルを読めません"));
    }
    if (file.size() > kMaxGaitFileBytes) {
        return Damaged(translate("GaitMessages", "歩行イベントファイルとしては大きすぎます"));
    }
    const std::vector<uint8_t> bytes = file.ReadUpTo(0, file.size());
    if (bytes.size() != file.size()) {
        return Damaged(translate("GaitMessages", "ファイルを読めません"));
    }
    return ParseGaitFile(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool WriteGaitFile(const std::string& path, const std::vector<GaitEvent>& events) {
    const GaitFileRead read = ReadGaitFile(path);
    return ReplaceFileContents(path, FormatGaitFile(events, read.frontal, read.feet));
}

namespace {

// The file with roles of one kind replaced; see WriteFrontalRoles.
bool WriteRoles(const std::string& path, const std::optional<FrontalSetup>* frontal,
                const std::optional<FootRoles>* feet) {
    const GaitFileRead read = ReadGaitFile(path);
    if (read.status == GaitFileRead::kDamaged) {
        return false;
    }
    const std::optional<FrontalSetup>& keptFrontal = frontal ? *frontal : read.frontal;
    const std::optional<FootRoles> keptFeet = Named(feet ? *feet : read.feet);
    if (!keptFrontal && !keptFeet && read.events.empty()) {
        std::error_code error;
        std::filesystem::remove(path, error);
        return !error;
    }
    return ReplaceFileContents(path, FormatGaitFile(read.events, keptFrontal, keptFeet));
}

}  // namespace

bool WriteFrontalRoles(const std::string& path, const std::optional<FrontalSetup>& frontal) {
    return WriteRoles(path, &frontal, nullptr);
}

bool WriteFootRoles(const std::string& path, const std::optional<FootRoles>& feet) {
    return WriteRoles(path, nullptr, &feet);
}

}  // namespace kivra
