#include "sync/sync_session.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "platform/number_text.h"
#include "platform/replace_file.h"
#include "platform/translation.h"

namespace kivra {
namespace {

namespace fs = std::filesystem;

// The path made absolute without throwing (a removed working folder leaves it as given).
fs::path Absolute(const std::string& path) {
    std::error_code error;
    const fs::path full = fs::absolute(fs::path(path), error);
    return (error ? fs::path(path) : full).lexically_normal();
}

fs::path Folder(const std::string& path) {
    return Absolute(path).parent_path();
}

// The name beside the session file, else the whole path.
std::string StoredName(const std::string& video, const std::string& sessionPath) {
    const fs::path full = Absolute(video);
    if (full.parent_path() == Folder(sessionPath)) {
        return full.filename().string();
    }
    return full.string();
}

std::string Resolved(const std::string& name, const std::string& sessionPath) {
    const fs::path stored(name);
    if (stored.is_absolute()) {
        return stored.string();
    }
    return (Folder(sessionPath) / stored).lexically_normal().string();
}

std::string Damaged(const std::string& what) {
    return ArgText(translate("SyncMessages", "同期ファイルが壊れています: %1"), {what});
}

}  // namespace

std::string SyncSessionPath(const std::string& videoA) {
    return fs::path(videoA).replace_extension(".ksync").string();
}

std::optional<std::string> FormatSyncSession(const SyncSession& session,
                                             const std::string& sessionPath, std::string* why) {
    const std::string a = StoredName(session.videoA, sessionPath);
    const std::string b = StoredName(session.videoB, sessionPath);
    for (const std::string* name : {&a, &b}) {
        if (name->find_first_of("\r\n") != std::string::npos) {
            *why = translate("SyncMessages", "改行を含むファイル名は同期ファイルに書けません");
            return std::nullopt;
        }
    }
    std::string text = std::string(kSyncFormatName) + " " + std::to_string(kSyncFormatVersion);
    text += "\nvideo-a=" + a + "\nvideo-b=" + b;
    text += "\noffset=" + session.offset.Text();
    text += "\nmethod=" + std::string(SyncMethodName(session.method)) + "\n";
    return text;
}

std::string SaveSyncSession(const SyncSession& session, const std::string& sessionPath) {
    std::string why;
    const std::optional<std::string> text = FormatSyncSession(session, sessionPath, &why);
    if (!text) {
        return why;
    }
    if (!ReplaceFileContents(sessionPath, *text)) {
        return translate("SyncMessages", "同期ファイルを書き込めません");
    }
    return {};
}

SyncSessionRead ReadSyncSession(const std::string& sessionPath) {
    SyncSessionRead read;
    std::ifstream in(fs::path(sessionPath), std::ios::binary);
    if (!in) {
        read.why = translate("SyncMessages", "同期ファイルを開けません");
        return read;
    }
    std::string text(kSyncFileMaxBytes + 1, '\0');
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(in.gcount()));
    if (in.bad()) {
        read.why = translate("SyncMessages", "同期ファイルを開けません");
        return read;
    }
    if (text.size() > kSyncFileMaxBytes) {
        read.why = translate("SyncMessages", "同期ファイルではありません");
        return read;
    }
    return ParseSyncSession(text, sessionPath);
}

SyncSessionRead ParseSyncSession(std::string_view text, const std::string& sessionPath) {
    SyncSessionRead read;
    std::vector<std::string_view> lines;
    while (!text.empty() && lines.size() <= kSyncFileMaxBytes) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    // The first line names the format and its version: "kivra-sync 1".
    const std::string_view head = lines.empty() ? std::string_view() : lines.front();
    const std::string prefix = std::string(kSyncFormatName) + " ";
    int version = 0;
    const char* digits = head.data() + std::min(head.size(), prefix.size());
    const auto [end, ec] = std::from_chars(digits, head.data() + head.size(), version);
    if (head.substr(0, prefix.size()) != prefix || ec != std::errc() ||
        end != head.data() + head.size() || version < 1) {
        read.why = translate("SyncMessages", "同期ファイルではありません");
        return read;
    }
    if (version > kSyncFormatVersion) {
        read.why = ArgText(translate("SyncMessages",
                                     "新しい版の同期ファイル (形式 %1) です。"
                                     "この版が読めるのは形式 %2 までです"),
                           {std::to_string(version), std::to_string(kSyncFormatVersion)});
        return read;
    }
    std::map<std::string, std::string, std::less<>> fields;
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty()) {
            continue;
        }
        const size_t equals = lines[i].find('=');
        if (equals == std::string_view::npos) {
            read.why = Damaged(Excerpt(lines[i]));
            return read;
        }
        const std::string key(lines[i].substr(0, equals));
        if (!fields.emplace(key, std::string(lines[i].substr(equals + 1))).second) {
            read.why = Damaged(Excerpt(key));
            return read;
        }
    }
    for (const char* needed : {"video-a", "video-b", "offset", "method"}) {
        const auto found = fields.find(std::string_view(needed));
        if (found == fields.end() || found->second.empty()) {
            read.why = Damaged(needed);
            return read;
        }
    }
    const std::optional<SyncOffset> offset = SyncOffset::Parse(fields["offset"]);
    if (!offset) {
        read.why = Damaged("offset=" + Excerpt(fields["offset"]));
        return read;
    }
    const std::optional<SyncMethod> method = SyncMethodNamed(fields["method"]);
    if (!method) {
        read.why = Damaged("method=" + Excerpt(fields["method"]));
        return read;
    }
    read.session = SyncSession{Resolved(fields["video-a"], sessionPath),
                               Resolved(fields["video-b"], sessionPath), *offset, *method};
    return read;
}

}  // namespace kivra
