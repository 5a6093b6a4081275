#pragma once
// The recent-file list of the File menu: the last four videos opened, newest first, kept in
// the settings ini under "Recent File List" as "File1".."File4". Owned by the application
// object; the main window only reads it to build its menu.
#include <cstddef>
#include <string>
#include <vector>

namespace kivra {

class RecentFileList {
public:
    static constexpr std::size_t kMaxEntries = 4;

    RecentFileList(std::string iniPath, std::size_t maxEntries = kMaxEntries);

    // Reads the entries; empty and repeated entries and any beyond the size are dropped.
    void Load();
    // Puts path first, removing an older entry of the same path. Paths an ini line cannot
    // hold (line feeds, NUL) are not remembered. The list is written at once.
    void Add(const std::string& path);
    // Removes the entry at index (0 is the newest) and writes the list.
    void Remove(std::size_t index);

    const std::vector<std::string>& Entries() const { return m_entries; }

private:
    bool Save() const;

    std::string m_iniPath;
    std::size_t m_maxEntries;
    std::vector<std::string> m_entries;
};

}  // namespace kivra
