#include "platform/rw_ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>

#include "platform/path_util.h"
#include "platform/replace_file.h"
#include "platform/settings_folder.h"
#include "platform/unique_fd.h"

namespace kivra {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kInternalName = "Kivra";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

struct ParsedLine {
    enum class Kind { kOther, kSection, kKey };
    Kind kind = Kind::kOther;
    std::string_view name;   // section name, or the key without surrounding blanks
    std::string_view value;  // key lines: the value without surrounding blanks
};

// A section header is "[" up to the last "]" of the line; a key line is "key=value"; lines
// starting with ";" and everything else are kept but never matched.
ParsedLine Classify(std::string_view text, bool firstLine) {
    if (firstLine && text.starts_with(kBom)) {
        text.remove_prefix(kBom.size());
    }
    const std::string_view s = Trim(text);
    if (s.empty() || s.front() == ';') {
        return {};
    }
    if (s.front() == '[') {
        const auto close = s.rfind(']');
        if (close == std::string_view::npos) {
            return {};
        }
        return {ParsedLine::Kind::kSection, s.substr(1, close - 1), {}};
    }
    const auto eq = s.find('=');
    if (eq == std::string_view::npos) {
        return {};
    }
    return {ParsedLine::Kind::kKey, Trim(s.substr(0, eq)), Trim(s.substr(eq + 1))};
}

// Length of the UTF-8 sequence at s[i]; a byte that starts no valid sequence counts alone.
std::size_t CharLength(std::string_view s, std::size_t i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t len = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        len = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        len = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        len = 4;
    }
    if (len == 1 || i + len > s.size()) {
        return 1;
    }
    for (std::size_t k = 1; k < len; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return len;
}

// The first maxChars characters; never splits a UTF-8 sequence.
std::string_view CutToChars(std::string_view s, std::size_t maxChars) {
    std::size_t pos = 0;
    for (std::size_t n = 0; n < maxChars && pos < s.size(); ++n) {
        pos += CharLength(s, pos);
    }
    return s.substr(0, pos);
}

// What a caller's buffer of bufferChars would receive: the text stops at a NUL like a C string
// and holds at most bufferChars - 1 characters.
std::string IntoBuffer(std::string_view s, std::size_t bufferChars) {
    if (bufferChars == 0) {
        return {};
    }
    s = s.substr(0, s.find('\0'));
    return std::string(CutToChars(s, bufferChars - 1));
}

std::string_view StripQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

bool HasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos;
}

bool IsStorableSection(std::string_view section) {
    return !section.empty() && !HasLineBreakOrNul(section);
}

bool IsStorableKey(std::string_view key) {
    const std::string_view k = Trim(key);
    return !k.empty() && !HasLineBreakOrNul(k) && k.find('=') == k.npos && k.front() != '[' &&
           k.front() != ';';
}

// Reads trim blanks and one pair of outer quotes; quoting such values on the way out makes
// every storable value read back exactly as written (a recent file whose name ends in a blank
// must come back with it).
std::string EncodeValue(std::string_view value) {
    const bool blankAtEdge = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
    const bool looksQuoted = StripQuotes(value).size() != value.size();
    std::string encoded;
    if (blankAtEdge || looksQuoted) {
        encoded.reserve(value.size() + 2);
        encoded.append(1, '"').append(value).append(1, '"');
        return encoded;
    }
    return encoded.assign(value);
}

enum class FileState { kMissing, kRead, kRefused };

struct FileContents {
    FileState state = FileState::kRefused;
    std::string bytes;
};

FileContents ReadIniFile(const std::string& path) {
    FileContents result;
    if (path.empty()) {
        return result;
    }
    // Non-blocking so that a FIFO put in the file's place cannot stall the open.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        if (errno == ENOENT) {
            result.state = FileState::kMissing;
        }
        return result;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<std::uintmax_t>(st.st_size) > kMaxIniFileBytes) {
        return result;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return result;
        }
        if (n == 0) {
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
        if (bytes.size() > kMaxIniFileBytes) {  // grew while we read it
            return result;
        }
    }
    result.state = FileState::kRead;
    result.bytes = std::move(bytes);
    return result;
}

}  // namespace

IniDocument IniDocument::Load(const std::string& path) {
    IniDocument doc;
    doc.path_ = path;
    doc.writePath_ = ReplacementTarget(path);
    FileContents contents = ReadIniFile(path);
    doc.writable_ = contents.state != FileState::kRefused;
    if (contents.state != FileState::kRead) {
        return doc;
    }
    const std::string_view bytes = contents.bytes;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto lf = bytes.find('\n', pos);
        Line line;
        if (lf == std::string_view::npos) {
            line.text = std::string(bytes.substr(pos));
            pos = bytes.size();
        } else {
            std::string_view text = bytes.substr(pos, lf - pos);
            line.eol = Eol::kLf;
            if (text.ends_with('\r')) {
                text.remove_suffix(1);
                line.eol = Eol::kCrLf;
            }
            line.text = std::string(text);
            pos = lf + 1;
        }
        doc.lines_.push_back(std::move(line));
    }
    for (const Line& line : doc.lines_) {
        if (line.eol != Eol::kNone) {
            doc.newEol_ = line.eol;
            break;
        }
    }
    return doc;
}

std::optional<IniDocument::SectionRange> IniDocument::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const ParsedLine p = Classify(lines_[i].text, i == 0);
        if (p.kind != ParsedLine::Kind::kSection || !EqualsIgnoreCase(p.name, section)) {
            continue;
        }
        std::size_t end = i + 1;
        while (end < lines_.size() &&
               Classify(lines_[end].text, false).kind != ParsedLine::Kind::kSection) {
            ++end;
        }
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniDocument::FindKey(const SectionRange& range,
                                                std::string_view key) const {
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        const ParsedLine p = Classify(lines_[i].text, false);
        if (p.kind == ParsedLine::Kind::kKey && EqualsIgnoreCase(p.name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

std::string IniDocument::GetString(std::string_view section, std::string_view key,
                                   std::string_view def, std::size_t bufferChars) const {
    if (const auto range = FindSection(section)) {
        if (const auto at = FindKey(*range, Trim(key))) {
            const ParsedLine p = Classify(lines_[*at].text, false);
            return IntoBuffer(StripQuotes(p.value), bufferChars);
        }
    }
    // Like the system call, the default loses its trailing blanks.
    while (!def.empty() && IsBlank(def.back())) {
        def.remove_suffix(1);
    }
    return IntoBuffer(def, bufferChars);
}

void IniDocument::InsertLine(std::size_t at, std::string text) {
    if (at > 0 && lines_[at - 1].eol == Eol::kNone) {
        lines_[at - 1].eol = newEol_;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), newEol_});
    modified_ = true;
}

bool IniDocument::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
    if (!IsStorableSection(section) || !IsStorableKey(key) || HasLineBreakOrNul(value)) {
        return false;
    }
    key = Trim(key);
    const std::string encoded = EncodeValue(value);
    const auto range = FindSection(section);
    if (!range) {
        std::string header(1, '[');
        header.append(section).append(1, ']');
        InsertLine(lines_.size(), std::move(header));
        InsertLine(lines_.size(), std::string(key) + "=" + encoded);
        return true;
    }
    if (const auto at = FindKey(*range, key)) {
        // The key keeps the spelling it has in the file.
        const std::string text =
            std::string(Classify(lines_[*at].text, false).name) + "=" + encoded;
        if (lines_[*at].text != text) {
            lines_[*at].text = text;
            modified_ = true;
        }
        return true;
    }
    // After the section's last non-blank line, so blank lines before the next section stay.
    std::size_t at = range->end;
    while (at > range->header + 1 && Trim(lines_[at - 1].text).empty()) {
        --at;
    }
    InsertLine(at, std::string(key) + "=" + encoded);
    return true;
}

bool IniDocument::DeleteKey(std::string_view section, std::string_view key) {
    const auto range = FindSection(section);
    if (!range) {
        return true;
    }
    // Every copy of the key in the section goes, so no older duplicate shows through.
    for (std::size_t i = range->end; i > range->header + 1; --i) {
        const ParsedLine p = Classify(lines_[i - 1].text, false);
        if (p.kind == ParsedLine::Kind::kKey && EqualsIgnoreCase(p.name, Trim(key))) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i - 1));
            modified_ = true;
        }
    }
    return true;
}

bool IniDocument::DeleteSection(std::string_view section) {
    while (const auto range = FindSection(section)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->header),
                     lines_.begin() + static_cast<std::ptrdiff_t>(range->end));
        modified_ = true;
    }
    return true;
}

std::string IniDocument::Serialize() const {
    std::string out;
    for (const Line& line : lines_) {
        out += line.text;
        out += line.eol == Eol::kCrLf ? "\r\n" : line.eol == Eol::kLf ? "\n" : "";
    }
    return out;
}

bool IniDocument::Save() {
    if (!writable_) {
        return false;
    }
    if (!modified_) {
        return true;
    }
    const std::string bytes = Serialize();
    if (bytes.size() > kMaxIniFileBytes) {  // we would refuse to read it back
        return false;
    }
    // An existing file keeps its permissions; a new one gets what the umask allows.
    if (!ReplaceFileContents(writePath_, bytes)) {
        return false;
    }
    modified_ = false;
    return true;
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, const std::string& path,
                                    std::size_t bufferChars) {
    return IniDocument::Load(path).GetString(section, key, def, bufferChars);
}

bool WritePrivateProfileString(std::string_view section, std::optional<std::string_view> key,
                               std::optional<std::string_view> value, const std::string& path) {
    IniDocument doc = IniDocument::Load(path);
    bool ok = true;
    if (!key) {
        ok = doc.DeleteSection(section);
    } else if (!value) {
        ok = doc.DeleteKey(section, *key);
    } else {
        ok = doc.WriteString(section, *key, *value);
    }
    return ok && doc.Save();
}

}  // namespace kivra

std::string ZebCRwIniFile::GetIniPath() {
    return GetIniPath(kivra::UserSettingsFolder());
}

std::string ZebCRwIniFile::GetIniPath(std::string_view settingsFolder) {
    while (settingsFolder.ends_with('/')) {
        settingsFolder.remove_suffix(1);
    }
    return std::string(settingsFolder) + "/" + std::string(kivra::kInternalName) + ".ini";
}

std::string ZebCRwIniFile::GetString(std::string_view key, std::string_view def) const {
    if (m_strSection.empty()) {
        return std::string(def);
    }
    return kivra::GetPrivateProfileString(m_strSection, key, def, m_strPath);
}

bool ZebCRwIniFile::WriteString(std::string_view key, std::string_view value) const {
    return !m_strSection.empty() &&
           kivra::WritePrivateProfileString(m_strSection, key, value, m_strPath);
}
