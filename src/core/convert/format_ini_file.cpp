#include "convert/format_ini_file.h"

#include <string_view>

#include "platform/rw_ini_file.h"
#include "platform/settings_folder.h"

namespace {

constexpr std::string_view kSection = "Output";
constexpr std::string_view kFallbackFilter = "AVI file(*.avi)|*.avi||";
// Far more than a save dialog can offer; keeps a file of nothing but filter keys from costing
// quadratic time.
constexpr int kMaxProfiles = 256;

}  // namespace

CFormatIniFile::CFormatIniFile() : CFormatIniFile(kivra::GetProgramFolder()) {}

CFormatIniFile::CFormatIniFile(const std::string& folder) : m_strPath(folder + "/profile.ini") {
    Load();
}

void CFormatIniFile::Load() {
    // One read of the file for all keys; the values are those GetPrivateProfileString gives.
    const kivra::IniDocument ini = kivra::IniDocument::Load(m_strPath);
    for (int n = 1; n <= kMaxProfiles; ++n) {
        std::string filter = ini.GetString(kSection, "Filter" + std::to_string(n), "");
        if (filter.empty()) {
            break;  // numbering is contiguous from 1
        }
        m_filters.push_back(std::move(filter));
        m_commands.push_back(ini.GetString(kSection, "Command" + std::to_string(n), ""));
    }
}

std::string CFormatIniFile::GetFilterString() const {
    if (m_filters.empty()) {
        return std::string(kFallbackFilter);
    }
    std::string joined;
    for (const std::string& filter : m_filters) {
        joined += filter;
    }
    return joined + "|";
}
