#pragma once
// Starting the codec installer with administrator rights, waiting for it, and starting Kivra
// again afterwards. Plain functions over a small description of where the programs are; the
// application holds one description (tests point it at a scratch program folder).
#include <string>
#include <vector>

namespace kivra {

struct InstallerLaunch {
    std::string programFolder;  // holds "pellam" and "kivra"; no trailing slash
    // Asks the desktop for administrator rights and runs its arguments ("pkexec", looked up in
    // PATH); empty starts the installer directly, as when Kivra itself runs as root.
    std::string elevator;
};

// The running program's folder; no elevator for root, "pkexec" otherwise.
InstallerLaunch DefaultInstallerLaunch();

std::string InstallerPath(const InstallerLaunch& launch);
std::string RestartPath(const InstallerLaunch& launch);

// The argument vector that starts the installer: [elevator] <folder>/pellam.
std::vector<std::string> InstallerCommand(const InstallerLaunch& launch);

// True when the installer is a regular file (links followed).
bool InstallerExists(const InstallerLaunch& launch);

enum class InstallerResult {
    Refused,  // could not be started, or the elevation was refused or cancelled
    Ran,      // started and waited for to its end, whatever it did
};

// Starts the installer without a shell and waits for it to end (long: the caller runs it off the
// window's thread). An elevator that ends with 126 or 127 (no authorisation, prompt dismissed,
// no agent) counts as refused.
InstallerResult RunInstaller(const InstallerLaunch& launch);

// Starts `program` with no arguments in a session of its own, not as our child (it outlives us
// and is never left for us to reap). False when it could not be started.
bool StartDetached(const std::string& program);

}  // namespace kivra
