#include "gait/report_header.h"

#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/number_text.h"
#include "platform/path_util.h"
#include "platform/read_only_file.h"
#include "platform/replace_file.h"
#include "platform/translation.h"

namespace kivra {
namespace {

constexpr const char* kMagic = "kivra-visit";

// The text fields in the order they are written, with their keys.
constexpr std::array<std::pair<const char*, std::string ReportHeader::*>, 6> kTextFields = {{
    {"patient", &ReportHeader::patient},
    {"birth", &ReportHeader::birth},
    {"visit", &ReportHeader::visit},
    {"examiner", &ReportHeader::examiner},
    {"condition", &ReportHeader::condition},
    {"comment", &ReportHeader::comment},
}};
constexpr const char* kLegLengthKey = "leg-length";

ReportHeaderRead Damaged(std::string problem) {
    ReportHeaderRead read;
    read.status = ReportHeaderRead::kDamaged;
    read.problem = std::move(problem);
    return read;
}

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

bool ValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t more = 0;
        char32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= text.size()) {
            return false;  // cut off
        }
        for (std::size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF.
        if ((more == 2 && code < 0x800) || (more == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += more + 1;
    }
    return true;
}

std::string Escaped(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == ' ' && (i == 0 || i + 1 == value.size())) {
            out += "\\s";  // blanks at the ends of a line are the reader's to drop
        } else if (u < 0x20 || u == 0x7F) {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// The value of an escaped text, or nothing for an unknown or cut-off escape.
std::optional<std::string> Unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 's':
                out += ' ';
                break;
            case 'x': {
                const int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
                const int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
                if (low < 0) {
                    return std::nullopt;
                }
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return out;
}

// The shortest text that reads back as the same double.
std::string ShortestText(double value) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : FixedText(value, 3);
}

}  // namespace

std::string ReportHeaderPath(const std::string& markerPath) {
    return ReplaceExtension(markerPath, ".kvisit");
}

std::optional<double> ParseLegLength(std::string_view text) {
    const std::optional<double> value = ParsePositiveNumber(text);
    if (!value || !(*value < kMaxLegLengthMm)) {
        return std::nullopt;
    }
    return value;
}

std::string FormatReportHeader(const ReportHeader& header) {
    std::string text = std::string(kMagic) + " " + std::to_string(kReportHeaderVersion) + "\n";
    for (const auto& [key, field] : kTextFields) {
        if (!(header.*field).empty()) {
            text += std::string(key) + " " + Escaped(header.*field) + "\n";
        }
    }
    if (header.legLengthMm) {
        text += std::string(kLegLengthKey) + " " + ShortestText(*header.legLengthMm) + "\n";
    }
    return text;
}

ReportHeaderRead ParseReportHeader(std::string_view text) {
    if (!ValidUtf8(text)) {
        return Damaged(translate("GaitMessages", "ファイルが UTF-8 のテキストではありません"));
    }
    ReportHeaderRead read;
    std::vector<std::string> seen;
    bool headed = false;
    std::size_t pos = 0;
    int number = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        // Blanks and a CR at either end come from editing by hand; the values' own are escaped.
        while (!line.empty() && (Blank(line.back()) || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        while (!line.empty() && Blank(line.front())) {
            line.remove_prefix(1);
        }
        if (line.empty() || line.starts_with('#')) {
            continue;
        }
        std::size_t split = 0;
        while (split < line.size() && !Blank(line[split])) {
            ++split;
        }
        const std::string_view key = line.substr(0, split);
        std::string_view value = line.substr(split);
        while (!value.empty() && Blank(value.front())) {
            value.remove_prefix(1);
        }
        const auto where = [number](const std::string& problem) {
            return ArgText(translate("GaitMessages", "%1 行目: %2"),
                           {std::to_string(number), problem});
        };
        if (!headed) {
            int version = 0;
            const auto [last, error] =
                std::from_chars(value.data(), value.data() + value.size(), version);
            if (key != kMagic || error != std::errc() || last != value.data() + value.size()) {
                return Damaged(translate("GaitMessages", "患者・検査情報のファイルではありません"));
            }
            if (version < 1 || version > kReportHeaderVersion) {
                return Damaged(ArgText(translate("GaitMessages",
                                                 "ファイルのバージョン %1 は"
                                                 "このプログラムでは読めません"),
                                       {std::to_string(version)}));
            }
            headed = true;
            continue;
        }
        for (const std::string& earlier : seen) {
            if (earlier == key) {
                return Damaged(where(ArgText(
                    translate("GaitMessages", "\"%1\" が 2 回指定されています"), {earlier})));
            }
        }
        if (key == kLegLengthKey) {
            read.header.legLengthMm = ParseLegLength(value);
            if (!read.header.legLengthMm) {
                return Damaged(where(ArgText(translate("GaitMessages",
                                                       "脚長は 0 より大きく %1 未満の mm の"
                                                       "数値でなければなりません"),
                                             {ShortestText(kMaxLegLengthMm)})));
            }
            seen.emplace_back(key);
            continue;
        }
        std::string ReportHeader::*field = nullptr;
        for (const auto& [name, member] : kTextFields) {
            if (key == name) {
                field = member;
            }
        }
        if (field == nullptr) {
            return Damaged(
                where(ArgText(translate("GaitMessages", "不明な項目 \"%1\""), {Excerpt(key)})));
        }
        std::optional<std::string> unescaped = Unescaped(value);
        if (!unescaped || !ValidUtf8(*unescaped)) {
            return Damaged(where(translate("GaitMessages",
                                           "バックスラッシュは \\\\、\\n、\\r、\\t、\\s、"
                                           "\\xHH のいずれかの始まりでなければなりません")));
        }
        read.header.*field = std::move(*unescaped);
        seen.emplace_back(key);
    }
    if (!headed) {
        return Damaged(translate("GaitMessages", "患者・検査情報のファイルではありません"));
    }
    read.status = ReportHeaderRead::kLoaded;
    return read;
}

ReportHeaderRead ReadReportHeader(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        return {};
    }
    if (status.type() != std::filesystem::file_type::regular) {
        return Damaged(translate("GaitMessages", "ファイルを読めません"));
    }
    const ReadOnlyFile file(path);
    if (!file.ok()) {
        return Damaged(translate("GaitMessages", "ファイルを読めません"));
    }
    if (file.size() > kMaxReportHeaderBytes) {
        return Damaged(translate("GaitMessages", "患者・検査情報のファイルとしては大きすぎます"));
    }
    const std::vector<uint8_t> bytes = file.ReadUpTo(0, file.size());
    if (bytes.size() != file.size()) {
        return Damaged(translate("GaitMessages", "ファイルを読めません"));
    }
    return ParseReportHeader(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool WriteReportHeader(const std::string& path, const ReportHeader& header) {
    const std::string text = FormatReportHeader(header);
    return text.size() <= kMaxReportHeaderBytes && ReplaceFileContents(path, text, 0600);
}

}  // namespace kivra
