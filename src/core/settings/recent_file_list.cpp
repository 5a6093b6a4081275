#include "settings/recent_file_list.h"

#include <algorithm>

#include "platform/rw_ini_file.h"

namespace kivra {

namespace {

constexpr const char* kSection = "Recent File List";

std::string KeyOf(std::size_t index) {
    return "File" + std::to_string(index + 1);
}

bool StorableInIni(const std::string& path) {
    return !path.empty() && path.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

}  // namespace

RecentFileList::RecentFileList(std::string iniPath, std::size_t maxEntries)
    : m_iniPath(std::move(iniPath)), m_maxEntries(maxEntries) {}

void RecentFileList::Load() {
    m_entries.clear();
    const IniDocument doc = IniDocument::Load(m_iniPath);
    for (std::size_t i = 0; i < m_maxEntries; ++i) {
        // Paths may be longer than the usual 1023 characters of a read.
        std::string path = doc.GetString(kSection, KeyOf(i), "", 4096);
        if (!path.empty() &&
            std::find(m_entries.begin(), m_entries.end(), path) == m_entries.end()) {
            m_entries.push_back(std::move(path));
        }
    }
}

void RecentFileList::Add(const std::string& path) {
    if (!StorableInIni(path)) {
        return;
    }
    std::erase(m_entries, path);
    m_entries.insert(m_entries.begin(), path);
    if (m_entries.size() > m_maxEntries) {
        m_entries.resize(m_maxEntries);
    }
    Save();
}

void RecentFileList::Remove(std::size_t index) {
    if (index < m_entries.size()) {
        m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
        Save();
    }
}

bool RecentFileList::Save() const {
    IniDocument doc = IniDocument::Load(m_iniPath);
    for (std::size_t i = 0; i < m_maxEntries; ++i) {
        if (i < m_entries.size()) {
            doc.WriteString(kSection, KeyOf(i), m_entries[i]);
        } else {
            doc.DeleteKey(kSection, KeyOf(i));
        }
    }
    return doc.Save();
}

}  // namespace kivra
