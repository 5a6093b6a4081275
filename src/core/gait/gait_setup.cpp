#include "gait/gait_setup.h"

#include <charconv>
#include <cmath>

#include "markers/lff_manager.h"
#include "platform/number_text.h"
#include "platform/rw_ini_file.h"

namespace kivra {
namespace {

constexpr std::string_view kSection = "Gait";
constexpr int kMaxId = 100000;
constexpr std::size_t kMaxBandFiles = 32;

bool ParseId(std::string_view text, int& id) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    return ec == std::errc() && end == text.data() + text.size() && id >= 1 && id <= kMaxId;
}

std::string FormatFoot(const std::optional<FootMarkers>& foot) {
    return foot ? std::to_string(foot->heelId) + "," + std::to_string(foot->toeId) : "";
}

}  // namespace

std::optional<FootMarkers> ParseFootMarkers(std::string_view text) {
    const std::size_t comma = text.find(',');
    FootMarkers foot;
    if (comma == std::string_view::npos || !ParseId(text.substr(0, comma), foot.heelId) ||
        !ParseId(text.substr(comma + 1), foot.toeId) || foot.heelId == foot.toeId) {
        return std::nullopt;
    }
    return foot;
}

GaitSetup LoadGaitSetup(const std::string& iniPath) {
    GaitSetup setup;
    if (iniPath.empty()) {
        return setup;
    }
    const IniDocument doc = IniDocument::Load(iniPath);
    setup.right = ParseFootMarkers(doc.GetString(kSection, "RightFoot", ""));
    setup.left = ParseFootMarkers(doc.GetString(kSection, "LeftFoot", ""));
    int pelvis = 0;
    if (ParseId(doc.GetString(kSection, "Pelvis", "0"), pelvis)) {
        setup.pelvisId = pelvis;
    }
    setup.filterHz = ParsePositiveNumber(doc.GetString(kSection, "FilterHz", "0")).value_or(0.0);
    // Numbered from 2 after the first, which keeps the key a single band was stored under.
    for (std::size_t n = 0; n < kMaxBandFiles; ++n) {
        const std::string suffix = n == 0 ? "" : std::to_string(n + 1);
        NormalBandChoice choice{doc.GetString(kSection, "NormalBand" + suffix, ""),
                                doc.GetString(kSection, "NormalBandAngle" + suffix, "")};
        if (choice.file.empty()) {
            break;
        }
        setup.bands.push_back(std::move(choice));
    }
    return setup;
}

bool SaveGaitSetup(const std::string& iniPath, const GaitSetup& setup) {
    if (iniPath.empty()) {
        return false;
    }
    IniDocument doc = IniDocument::Load(iniPath);
    if (!doc.CanSave()) {
        return false;
    }
    doc.DeleteSection(kSection);
    bool stored = doc.WriteString(kSection, "RightFoot", FormatFoot(setup.right));
    stored = doc.WriteString(kSection, "LeftFoot", FormatFoot(setup.left)) && stored;
    stored = doc.WriteString(kSection, "Pelvis", std::to_string(setup.pelvisId)) && stored;
    const double filterHz =
        std::isfinite(setup.filterHz) && setup.filterHz > 0.0 ? setup.filterHz : 0.0;
    stored = doc.WriteString(kSection, "FilterHz", FixedText(filterHz, 3)) && stored;
    for (std::size_t n = 0; n < setup.bands.size() && n < kMaxBandFiles; ++n) {
        const std::string suffix = n == 0 ? "" : std::to_string(n + 1);
        stored = doc.WriteString(kSection, "NormalBand" + suffix, setup.bands[n].file) && stored;
        if (!setup.bands[n].angle.empty()) {
            stored = doc.WriteString(kSection, "NormalBandAngle" + suffix, setup.bands[n].angle) &&
                     stored;
        }
    }
    return stored && doc.Save();
}

MarkerTrack MarkerTrackOf(const CLFFManager& store, int id, int first, int last) {
    MarkerTrack track;
    for (const T_MARKER& m : store.Row(id - 1)) {
        if (m.frame < first || m.frame > last) {
            continue;
        }
        // A row may hold two markers on one frame; the first is the one drawn and exported.
        if (!track.frames.empty() && track.frames.back() == m.frame) {
            continue;
        }
        // A damaged file's inf or nan is no position; the frame counts as unmarked.
        if (!std::isfinite(m.x) || !std::isfinite(m.y)) {
            continue;
        }
        track.frames.push_back(m.frame);
        track.points.push_back({m.x, m.y});
    }
    return track;
}

std::vector<FootTrack> FootTracksOf(const CLFFManager& store, const GaitSetup& setup, int first,
                                    int last) {
    std::vector<FootTrack> feet;
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const std::optional<FootMarkers>& markers =
            side == FootSide::kRight ? setup.right : setup.left;
        if (markers) {
            feet.push_back({side, MarkerTrackOf(store, markers->heelId, first, last),
                            MarkerTrackOf(store, markers->toeId, first, last)});
        }
    }
    return feet;
}

}  // namespace kivra
