#include "settings/inifile_manager.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <variant>

#include "platform/rw_ini_file.h"

namespace kivra {
namespace {

// The C locale's white space, which is what the runtime conversions skip.
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t SkipSpace(std::string_view text, std::size_t i) {
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    return i;
}

std::size_t SkipDigits(std::string_view text, std::size_t i) {
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
    }
    return i;
}

using Field = std::variant<float*, std::string*, int*, bool*, MarkerIdMode*>;

struct Setting {
    std::string_view section;
    std::string_view key;
    std::string_view defaultText;
    Field field;
};

// File order of writing; the defaults are the texts a missing key reads as.
std::array<Setting, 19> SettingsOf(SliderSettings& slider, ScratchEncoderSettings& encoder,
                                   TrimmingSettings& trimming, MarkerIdSettings& markerId) {
    return {{
        {"Slider", "PlaySpeedRate", "1.0", &slider.playSpeedRate},
        {"FFMpeg", "TmpFile_VCodec", "", &encoder.videoCodec},
        {"FFMpeg", "TmpFile_BitRate(k)", "", &encoder.bitRate},
        {"FFMpeg", "TmpFile_2GLimit", "1", &encoder.limit2G},
        {"FFMpeg", "TmpFile_QScale(2-31)", "4", &encoder.qScale},
        {"Trimming", "Mode", "0", &trimming.mode},
        {"Trimming", "SizeType", "0", &trimming.sizeType},
        {"Trimming", "Direction", "0", &trimming.direction},
        {"Trimming", "LengthFromCenter1", "51", &trimming.boxHalfSize1},
        {"Trimming", "LengthFromCenter2", "51", &trimming.boxHalfSize2},
        {"Trimming", "FilterIndex", "1", &trimming.filterIndex},
        {"Trimming", "MosaicRectType", "1", &trimming.mosaicType},
        {"Trimming", "Deinterlace", "0", &trimming.deinterlace},
        {"MarkerID", "MaxID", "100", &markerId.maxId},
        {"MarkerID", "ShowLocus", "0", &markerId.showLocus},
        {"MarkerID", "LocusColor", "255", &markerId.locusColor},
        {"MarkerID", "SetIDMode", "0", &markerId.mode},
        {"MarkerID", "SkipFrameNum", "1", &markerId.skipFrames},
        {"MarkerID", "ShowSetIDBtnMsg", "1", &markerId.askToShowIdBar},
    }};
}

void Assign(const Field& field, const std::string& text, int* flagRead) {
    std::visit(
        [&](auto* value) {
            using T = std::remove_pointer_t<decltype(value)>;
            if constexpr (std::is_same_v<T, float>) {
                *value = TextToFloat(text);
            } else if constexpr (std::is_same_v<T, int>) {
                *value = TextToInt(text);
            } else if constexpr (std::is_same_v<T, bool>) {
                *flagRead = TextToInt(text);
                *value = *flagRead != 0;
            } else if constexpr (std::is_same_v<T, MarkerIdMode>) {
                *value = static_cast<MarkerIdMode>(TextToInt(text));
            } else {
                *value = text;
            }
        },
        field);
}

// flagRead: the number the key held when read, or null.
std::string TextOf(const Field& field, const int* flagRead) {
    return std::visit(
        [flagRead](const auto* value) -> std::string {
            using T = std::remove_cv_t<std::remove_pointer_t<decltype(value)>>;
            if constexpr (std::is_same_v<T, float>) {
                return FormatOneDecimal(*value);
            } else if constexpr (std::is_same_v<T, int>) {
                return FormatInt(*value);
            } else if constexpr (std::is_same_v<T, bool>) {
                if (flagRead != nullptr && (*flagRead != 0) == *value) {
                    return FormatInt(*flagRead);
                }
                return FormatInt(*value ? 1 : 0);
            } else if constexpr (std::is_same_v<T, MarkerIdMode>) {
                return FormatInt(static_cast<int>(*value));
            } else {
                return *value;
            }
        },
        field);
}

constexpr const char* kLanguageSection = "Settings";
constexpr const char* kLanguageKey = "Language";
constexpr const char* kSkipFillSection = "MarkerID";
constexpr const char* kSkipFillKey = "SkipFill";
constexpr const char* kOpenDirectKey = "OpenDirect";

// A value no setting can hold tells a missing key from an empty one.
bool HasLanguageKey(const IniDocument& doc) {
    constexpr const char* kMissing = "\x01";
    return doc.GetString(kLanguageSection, kLanguageKey, kMissing) != kMissing;
}

}  // namespace

int TextToInt(std::string_view text) {
    std::size_t i = SkipSpace(text, 0);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Saturates just past the int range, so any run of digits stays bounded.
    constexpr int64_t kLimit = int64_t{INT_MAX} + 1;
    int64_t magnitude = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        magnitude = std::min(kLimit, magnitude * 10 + (text[i] - '0'));
    }
    const int64_t value = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

float TextToFloat(std::string_view text) {
    std::size_t i = SkipSpace(text, 0);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t start = i;
    std::size_t end = SkipDigits(text, i);
    bool anyDigit = end > start;
    if (end < text.size() && text[end] == '.') {
        const std::size_t fractionEnd = SkipDigits(text, end + 1);
        anyDigit = anyDigit || fractionEnd > end + 1;
        end = fractionEnd;
    }
    if (!anyDigit) {
        return 0.0f;
    }
    // An exponent counts only with at least one digit: "2e" reads as 2.
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t e = end + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) {
            ++e;
        }
        const std::size_t exponentEnd = SkipDigits(text, e);
        if (exponentEnd > e) {
            end = exponentEnd;
        }
    }
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data() + start, text.data() + end, value);
    if (ec != std::errc() || std::fabs(value) > std::numeric_limits<float>::max()) {
        return 0.0f;
    }
    return static_cast<float>(negative ? -value : value);
}

std::string FormatOneDecimal(double value) {
    char buffer[400];  // the widest double in fixed notation
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0.0");
}

std::string FormatInt(int value) {
    char buffer[16];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, end);
}

}  // namespace kivra

const CInifileManager& kivra::DefaultSettings() {
    static const CInifileManager defaults{std::string()};
    return defaults;
}

CInifileManager::CInifileManager(std::string iniPath) : m_strIniPath(std::move(iniPath)) {}

CInifileManager::~CInifileManager() {
    SaveSettings();
}

void CInifileManager::LoadSettings() {
    const kivra::IniDocument doc = kivra::IniDocument::Load(m_strIniPath);
    for (const kivra::Setting& s :
         kivra::SettingsOf(m_slider, m_scratchEncoder, m_trimming, m_markerId)) {
        int flagRead = 0;
        kivra::Assign(s.field, doc.GetString(s.section, s.key, s.defaultText), &flagRead);
        if (std::holds_alternative<bool*>(s.field)) {
            m_flagsRead[s.key] = flagRead;
        }
    }
    // Read but never written, so the file keeps its long-standing layout; edited by hand.
    const std::string cacheMB = doc.GetString("Slider", "PictureCacheMB", "");
    m_slider.pictureCacheSet = !cacheMB.empty();
    m_slider.pictureCacheMB = m_slider.pictureCacheSet ? kivra::TextToInt(cacheMB) : 512;
    m_program.language = doc.GetString(kivra::kLanguageSection, kivra::kLanguageKey, "");
    m_markerId.skipFillByTracking =
        kivra::TextToInt(doc.GetString(kivra::kSkipFillSection, kivra::kSkipFillKey, "0")) == 1;
    m_program.openDirect =
        kivra::TextToInt(doc.GetString(kivra::kLanguageSection, kivra::kOpenDirectKey, "1")) != 0;
}

bool CInifileManager::SaveSettings() const {
    if (m_strIniPath.empty()) {
        return false;  // settings held in memory only (the batch tool)
    }
    // One load and one rewrite for all keys; other processes and the framework's own entries
    // written since start-up are kept because the file is read again here.
    kivra::IniDocument doc = kivra::IniDocument::Load(m_strIniPath);
    bool allStored = true;
    kivra::SliderSettings slider = m_slider;
    kivra::ScratchEncoderSettings encoder = m_scratchEncoder;
    kivra::TrimmingSettings trimming = m_trimming;
    kivra::MarkerIdSettings markerId = m_markerId;
    for (const kivra::Setting& s : kivra::SettingsOf(slider, encoder, trimming, markerId)) {
        const auto read = m_flagsRead.find(s.key);
        const int* flagRead = read != m_flagsRead.end() ? &read->second : nullptr;
        allStored =
            doc.WriteString(s.section, s.key, kivra::TextOf(s.field, flagRead)) && allStored;
    }
    if (!m_program.language.empty() || kivra::HasLanguageKey(doc)) {
        allStored =
            doc.WriteString(kivra::kLanguageSection, kivra::kLanguageKey, m_program.language) &&
            allStored;
    }
    if (m_markerId.skipFillByTracking ||
        doc.GetString(kivra::kSkipFillSection, kivra::kSkipFillKey, "\x01") != "\x01") {
        allStored = doc.WriteString(kivra::kSkipFillSection, kivra::kSkipFillKey,
                                    m_markerId.skipFillByTracking ? "1" : "0") &&
                    allStored;
    }
    if (!m_program.openDirect ||
        doc.GetString(kivra::kLanguageSection, kivra::kOpenDirectKey, "\x01") != "\x01") {
        allStored = doc.WriteString(kivra::kLanguageSection, kivra::kOpenDirectKey,
                                    m_program.openDirect ? "1" : "0") &&
                    allStored;
    }
    return doc.Save() && allStored;
}

bool CInifileManager::SaveLanguage() const {
    if (m_strIniPath.empty()) {
        return false;
    }
    kivra::IniDocument doc = kivra::IniDocument::Load(m_strIniPath);
    if (m_program.language.empty() && !kivra::HasLanguageKey(doc)) {
        return true;  // nothing to say: the file already leaves the choice to the locale
    }
    return doc.WriteString(kivra::kLanguageSection, kivra::kLanguageKey, m_program.language) &&
           doc.Save();
}

std::pair<int, int> kivra::OutputSizeOf(int sizeType, int direction) {
    static constexpr std::pair<int, int> kLandscape[] = {{640, 480}, {1024, 768}, {1440, 1080}};
    if (sizeType < 0 || sizeType > 2) {
        return {0, 0};
    }
    const auto [width, height] = kLandscape[sizeType];
    return direction == 1 ? std::pair{width, height} : std::pair{height, width};
}
