#include "kinematics/kinematics_settings.h"

#include <charconv>
#include <cmath>
#include <set>

#include "platform/number_text.h"
#include "platform/rw_ini_file.h"

namespace kivra {
namespace {

constexpr std::string_view kSection = "Kinematics";

std::string AngleKey(int i) {
    return "Angle" + std::to_string(i);
}

// "R:knee=2,3,4;L:knee=5,6,7"; nothing at all when a part is damaged, so that no half list
// passes for the user's choice.
std::vector<ClinicalAngle> ParseJoints(std::string_view text) {
    std::vector<ClinicalAngle> joints;
    while (!text.empty()) {
        const std::size_t semi = text.find(';');
        auto joint = ParseClinicalAngle(text.substr(0, semi));
        if (!joint) {
            return {};
        }
        joints.push_back(*joint);
        text = semi == std::string_view::npos ? std::string_view() : text.substr(semi + 1);
    }
    if (DuplicateClinicalAngle(joints)) {
        return {};
    }
    return joints;
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
    settings.filterHz = ParsePositiveNumber(doc.GetString(kSection, "FilterHz", "0")).value_or(0.0);
    settings.joints = ParseJoints(doc.GetString(kSection, "Joints", ""));
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
    const double filterHz =
        std::isfinite(settings.filterHz) && settings.filterHz > 0.0 ? settings.filterHz : 0.0;
    stored = doc.WriteString(kSection, "FilterHz", FixedText(filterHz, 3)) && stored;
    std::string joints;
    for (const ClinicalAngle& joint : settings.joints) {
        joints += (joints.empty() ? "" : ";") + FormatClinicalAngle(joint);
    }
    if (!joints.empty()) {
        stored = doc.WriteString(kSection, "Joints", joints) && stored;
    }
    return stored && doc.Save();
}

}  // namespace kivra
