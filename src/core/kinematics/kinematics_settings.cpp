#include "kinematics/kinematics_settings.h"

#include <charconv>
#include <cmath>
#include <set>

#include "platform/rw_ini_file.h"

namespace kivra {
namespace {

constexpr std::string_view kSection = "Kinematics";

std::string AngleKey(int i) {
    return "Angle" + std::to_string(i);
}

}  // namespace

KinematicsSettings LoadKinematicsSettings(const std::string& iniPath) {
    KinematicsSettings settings;
    if (iniPath.empty()) {
        return settings;
    }
    const IniDocument doc = IniDocument::Load(iniPath);
    std::set<std::string> names;
    // A key no file holds marks the end (an empty default cannot be told from an empty value).
    constexpr std::string_view kAbsent = "\x01";
    for (int i = 1; i <= kMaxNamedAngles; ++i) {
        const std::string text = doc.GetString(kSection, AngleKey(i), kAbsent);
        if (text == kAbsent) {
            break;
        }
        if (auto angle = ParseNamedAngle(text); angle && names.insert(angle->name).second) {
            settings.angles.push_back(std::move(*angle));
        }
    }
    const std::string hz = doc.GetString(kSection, "FilterHz", "0");
    double value = 0.0;
    const auto [end, ec] = std::from_chars(hz.data(), hz.data() + hz.size(), value);
    if (ec == std::errc() && end == hz.data() + hz.size() && std::isfinite(value) && value > 0.0) {
        settings.filterHz = value;
    }
    return settings;
}

bool SaveKinematicsSettings(const std::string& iniPath, const KinematicsSettings& settings) {
    if (iniPath.empty()) {
        return false;
    }
    IniDocument doc = IniDocument::Load(iniPath);
    if (!doc.CanSave()) {
        return false;
    }
    doc.DeleteSection(kSection);
    bool stored = true;
    int i = 0;
    for (const NamedAngle& angle : settings.angles) {
        if (i == kMaxNamedAngles) {
            break;
        }
        stored = doc.WriteString(kSection, AngleKey(++i), FormatNamedAngle(angle)) && stored;
    }
    char hz[64];
    const double filterHz =
        std::isfinite(settings.filterHz) && settings.filterHz > 0.0 ? settings.filterHz : 0.0;
    const auto res = std::to_chars(hz, hz + sizeof hz, filterHz, std::chars_format::fixed, 3);
    stored = doc.WriteString(kSection, "FilterHz", std::string_view(hz, res.ptr - hz)) && stored;
    return stored && doc.Save();
}

}  // namespace kivra
