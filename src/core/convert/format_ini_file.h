#pragma once
// The output formats offered when a trimmed movie is saved, read from "profile.ini" beside the
// program: per format a file-dialog filter and an encoder command template. Built afresh for
// each use, so edits to the file count at the next save.
#include <string>
#include <vector>

// Loads at construction; a missing or unreadable file is an empty list. Owned by its user,
// usually on the stack.
class CFormatIniFile {
public:
    // "profile.ini" in the program's folder.
    CFormatIniFile();
    // "profile.ini" in `folder` (without trailing slash; "" is the root).
    explicit CFormatIniFile(const std::string& folder);
    virtual ~CFormatIniFile() = default;

    // All filters joined, then one more "|"; "AVI file(*.avi)|*.avi||" when there is none.
    std::string GetFilterString() const;

    // Filters()[i] belongs to Commands()[i]; a command may be empty.
    const std::vector<std::string>& Filters() const { return m_filters; }
    const std::vector<std::string>& Commands() const { return m_commands; }
    const std::string& Path() const { return m_strPath; }

private:
    void Load();

    std::string m_strPath;
    std::vector<std::string> m_filters;
    std::vector<std::string> m_commands;
};
