#pragma once
// The .ksync file that keeps two videos of one walk in step: "<first video's base>.ksync"
// beside the first video. Small versioned text, replaced whole, read back with a reason for
// anything it cannot take.
#include <optional>
#include <string>
#include <string_view>

#include "sync/sync_offset.h"

namespace kivra {

// Two videos and their offset (B = A + offset), as the command line and the window keep them.
// Paths are as given in memory; the file holds them relative to its folder where it can.
struct SyncSession {
    std::string videoA;
    std::string videoB;
    SyncOffset offset;
    SyncMethod method = SyncMethod::kFrames;
};

inline constexpr std::string_view kSyncFormatName = "kivra-sync";
inline constexpr int kSyncFormatVersion = 1;
// A session file is a few lines; anything larger is not one.
inline constexpr size_t kSyncFileMaxBytes = 64 * 1024;

// "walk side.ksync" for "walk side.avi", in the same folder.
std::string SyncSessionPath(const std::string& videoA);

// The file's text for a session saved at sessionPath; nothing with why when a name cannot be
// written into it (a line break in it).
std::optional<std::string> FormatSyncSession(const SyncSession& session,
                                             const std::string& sessionPath, std::string* why);

// Writes the file in one step: a failure leaves the previous file as it was. Empty when
// saved, else why (in the interface language).
std::string SaveSyncSession(const SyncSession& session, const std::string& sessionPath);

struct SyncSessionRead {
    std::optional<SyncSession> session;
    std::string why;  // in the interface language, when there is no session
};

// Reads a file written by SaveSyncSession, its names resolved against its folder. A damaged
// file, an unknown format or a newer version gives why.
SyncSessionRead ReadSyncSession(const std::string& sessionPath);
SyncSessionRead ParseSyncSession(std::string_view text, const std::string& sessionPath);

}  // namespace kivra
