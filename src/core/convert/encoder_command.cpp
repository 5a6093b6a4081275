#include "convert/encoder_command.h"

#include <algorithm>
#include <array>

#include "platform/path_util.h"

extern "C" {
#include <libavutil/parseutils.h>
}

namespace kivra {

namespace {

constexpr std::string_view kInputPlaceholder = "<%input%>";
constexpr std::string_view kOutputPlaceholder = "<%output%>";
constexpr std::string_view kAvOptionsPlaceholder = "<AVOptions>";
constexpr std::string_view kM2tsRate = "-r 29.97";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsVideoFilterOption(const std::string& arg) {
    return arg == "-vf" || arg.starts_with("-filter:v");
}

// A filter that turns the picture: the encoder would otherwise also apply the source's rotation
// tag itself and turn it twice.
bool HasRotationFilter(const std::vector<std::string>& args) {
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (!IsVideoFilterOption(args[i])) {
            continue;
        }
        const std::string& filter = args[i + 1];
        if (filter.find("transpose") != std::string::npos ||
            filter.find("hflip") != std::string::npos ||
            filter.find("vflip") != std::string::npos) {
            return true;
        }
    }
    return false;
}

// What every run gets whatever the job: the packaged encoder's replacement for "-sameq", no
// double rotation, never a read from the terminal, and only error messages on stderr.
std::vector<std::string> FinishArguments(const std::vector<std::string>& raw) {
    std::vector<std::string> args;
    args.reserve(raw.size() + 8);
    for (const std::string& arg : raw) {
        if (arg == "-sameq") {
            args.emplace_back("-q:v");
            args.emplace_back("2");
        } else {
            args.push_back(arg);
        }
    }
    if (HasRotationFilter(args)) {
        const auto input = std::find(args.begin(), args.end(), "-i");
        args.insert(input, "-noautorotate");
    }
    static const std::array<std::string, 5> kPrefix = {"-nostdin", "-hide_banner", "-nostats",
                                                       "-loglevel", "error"};
    args.insert(args.begin(), kPrefix.begin(), kPrefix.end());
    return args;
}

std::vector<std::string> AvOptionArguments(const std::string& input) {
    return IsM2tsPath(input) ? SplitArguments(kM2tsRate) : std::vector<std::string>{};
}

// Replaces the placeholders of `text` in one pass, so that a path that happens to contain a
// placeholder is taken literally.
std::string Substitute(std::string_view text, const std::string& input, const std::string& output,
                       std::string_view avOptions) {
    std::string result;
    result.reserve(text.size() + input.size() + output.size());
    size_t i = 0;
    while (i < text.size()) {
        const std::string_view rest = text.substr(i);
        if (rest.starts_with(kInputPlaceholder)) {
            result += input;
            i += kInputPlaceholder.size();
        } else if (rest.starts_with(kOutputPlaceholder)) {
            result += output;
            i += kOutputPlaceholder.size();
        } else if (rest.starts_with(kAvOptionsPlaceholder)) {
            result += avOptions;
            i += kAvOptionsPlaceholder.size();
        } else {
            result += text[i++];
        }
    }
    return result;
}

std::string FormatDefaultProfileLog(const std::string& input, const std::string& output) {
    return "-i \"" + input + "\" -y -sameq \"" + output + "\"";
}

}  // namespace

std::vector<std::string> SplitArguments(std::string_view text) {
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    bool inQuotes = false;
    for (const char c : text) {
        if (c == '"') {
            inQuotes = !inQuotes;
            inArgument = true;
        } else if (!inQuotes && IsBlank(c)) {
            if (inArgument) {
                args.push_back(std::move(current));
                current.clear();
                inArgument = false;
            }
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) {
        args.push_back(std::move(current));
    }
    return args;
}

std::string EncoderPathArgument(const std::string& path) {
    return path.starts_with('/') ? path : "./" + path;
}

bool IsM2tsPath(const std::string& path) {
    return EqualsIgnoreCase(FileExtension(path), ".m2ts");
}

bool ConversionRate(const std::string& input, int* num, int* den) {
    const std::vector<std::string> args = AvOptionArguments(input);
    if (args.size() != 2 || args[0] != "-r") {
        return false;
    }
    AVRational rate{0, 1};
    if (av_parse_video_rate(&rate, args[1].c_str()) < 0 || rate.num <= 0 || rate.den <= 0) {
        return false;
    }
    *num = rate.num;
    *den = rate.den;
    return true;
}

EncoderCommand BuildVideoCommand(const std::string& input, const std::string& output,
                                 const std::string& codec, int limit2G,
                                 std::string_view extraOptions) {
    std::vector<std::string> codecArgs = SplitArguments(codec);
    const bool defaultCodec = codecArgs.empty();
    if (defaultCodec) {
        codecArgs.emplace_back(kDefaultVideoCodec);
    }
    const bool m2ts = IsM2tsPath(input);

    std::vector<std::string> raw = {"-i", EncoderPathArgument(input), "-vcodec"};
    raw.insert(raw.end(), codecArgs.begin(), codecArgs.end());
    raw.insert(raw.end(), {"-sameq", "-y"});
    if (limit2G != 0) {
        raw.insert(raw.end(), {"-fs", std::string(kTwoGigabyteLimit)});
    }
    raw.emplace_back("-an");
    const std::vector<std::string> rate = AvOptionArguments(input);
    raw.insert(raw.end(), rate.begin(), rate.end());
    const std::vector<std::string> extra = SplitArguments(extraOptions);
    raw.insert(raw.end(), extra.begin(), extra.end());
    raw.push_back(EncoderPathArgument(output));

    std::string log = "-i \"" + input + "\" -vcodec ";
    log += defaultCodec ? std::string(kDefaultVideoCodec) : codec;
    log += " -sameq -y ";
    if (limit2G != 0) {
        log += "-fs ";
        log += kTwoGigabyteLimit;
    }
    log += " -an ";
    if (m2ts) {
        log += kM2tsRate;
        log += ' ';
    }
    log += extraOptions;
    log += " \"" + output + "\"";
    return {FinishArguments(raw), std::move(log)};
}

EncoderCommand BuildSoundSplitCommand(const std::string& input, const std::string& wav) {
    const std::vector<std::string> raw = {"-i", EncoderPathArgument(input), "-vn", "-y",
                                          EncoderPathArgument(wav)};
    return {FinishArguments(raw), "-i \"" + input + "\" -vn -y \"" + wav + "\""};
}

EncoderCommand BuildProfileCommand(const std::string& input, const std::string& output,
                                   const std::vector<std::string>& commands, int profileIndex) {
    const bool inRange = profileIndex >= 0 && static_cast<size_t>(profileIndex) < commands.size();
    const std::string_view templ = inRange ? std::string_view(commands[profileIndex]) : "";
    const std::vector<std::string> tokens = SplitArguments(templ);
    if (tokens.empty()) {
        const std::vector<std::string> raw = {"-i", EncoderPathArgument(input), "-y", "-sameq",
                                              EncoderPathArgument(output)};
        return {FinishArguments(raw), FormatDefaultProfileLog(input, output)};
    }

    const std::string_view avOptions = IsM2tsPath(input) ? kM2tsRate : "";
    std::vector<std::string> raw;
    raw.reserve(tokens.size() + 2);
    for (const std::string& token : tokens) {
        if (token == kAvOptionsPlaceholder) {
            const std::vector<std::string> options = AvOptionArguments(input);
            raw.insert(raw.end(), options.begin(), options.end());
            continue;
        }
        // A path that opens the argument must not read as an option or a protocol.
        std::string arg;
        std::string_view rest = token;
        if (rest.starts_with(kInputPlaceholder)) {
            arg = EncoderPathArgument(input);
            rest.remove_prefix(kInputPlaceholder.size());
        } else if (rest.starts_with(kOutputPlaceholder)) {
            arg = EncoderPathArgument(output);
            rest.remove_prefix(kOutputPlaceholder.size());
        }
        arg += Substitute(rest, input, output, avOptions);
        if (arg.empty() && token.find(kAvOptionsPlaceholder) != std::string::npos) {
            continue;
        }
        raw.push_back(std::move(arg));
    }
    return {FinishArguments(raw), Substitute(templ, input, output, avOptions)};
}

}  // namespace kivra
