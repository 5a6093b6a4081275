#pragma once
// Where the program lives and where this user's settings go:
// "<special folder>/Brindle/<name of the program's folder>". The special folders follow the
// XDG base directories: roaming data (26) is the configuration home, local data (28) the data
// home.
#include <sys/types.h>
#include <string>
#include <string_view>

namespace kivra {

inline constexpr int kCsidlAppData = 26;       // roaming: $XDG_CONFIG_HOME or ~/.config
inline constexpr int kCsidlLocalAppData = 28;  // local: $XDG_DATA_HOME or ~/.local/share
inline constexpr std::string_view kMakerFolderName = "Brindle";

// The environment values the special folders come from; empty means unset. Tests fill it in.
struct SpecialFolderEnvironment {
    std::string xdgConfigHome;
    std::string xdgDataHome;
    std::string home;  // $HOME, or the home folder of the user's account when that is unset
};

SpecialFolderEnvironment CurrentSpecialFolderEnvironment();

// The special folder without a trailing slash ("/" for the root); empty for another
// identifier or when neither the XDG variable (which must be an absolute path) nor a home
// folder is known. Creates nothing.
std::string SpecialFolderPath(int csidl, const SpecialFolderEnvironment& env);

// Folder of the running executable without a trailing slash ("" when it is the root, so that
// "<folder>/pellam" still names the right file).
std::string GetProgramFolder();

// "<special>/Brindle/<last component of programFolder>", created with all its parents (an
// existing folder is no error, a failure to create is noticed only when files are written);
// empty when the special folder is unknown.
std::string GetSettingsFolder(std::string_view programFolder, int csidl,
                              const SpecialFolderEnvironment& env);
std::string GetSettingsFolder(std::string_view programFolder, int csidl);

// True when the user's account comes from a network directory: the real user id has no
// entry in the local passwd file. The file itself is read, not the name service, which would
// answer for directory accounts too. False when the file cannot be read.
bool IsDomainAccount();
bool IsDomainAccount(uid_t uid, const std::string& passwdPath);

// The settings folder the application keeps: GetSettingsFolder of the program folder below
// the roaming folder for a domain account and the local one otherwise, followed by "/". A
// lone "/" when no special folder is known, so that files then resolve from the root as
// before and writing them simply fails.
std::string UserSettingsFolder();

// mkdir -p: true when the folder exists afterwards.
bool CreateFolderChain(std::string_view path);

}  // namespace kivra
