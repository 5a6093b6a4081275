#pragma once
// The encoder's command lines for the three jobs: the argument vector that is handed to the
// process (never to a shell) and the argument string written to the command log, which keeps
// the classic layout with the paths in double quotes.
#include <string>
#include <string_view>
#include <vector>

namespace kivra {

inline constexpr std::string_view kDefaultVideoCodec = "msmpeg4v2";
inline constexpr std::string_view kTwoGigabyteLimit = "2200000000";

// One encoder run. `args` excludes the program itself.
struct EncoderCommand {
    std::vector<std::string> args;
    std::string logText;
};

// Splits a command text into arguments: blanks separate, double quotes group and are removed,
// a pair of quotes alone gives an empty argument, every other character is literal.
std::vector<std::string> SplitArguments(std::string_view text);

// The path as the encoder must be given it: relative paths start with "./" so that a leading
// dash is no option and a colon no protocol; absolute paths are unambiguous as they are.
std::string EncoderPathArgument(const std::string& path);

// True when the text after the last dot of the path is "m2ts" in any letter case.
bool IsM2tsPath(const std::string& path);

// The frame rate the conversion of `input` forces on its output, as the encoder reads its "-r"
// option: 2997/100 for M2TS. False when the source keeps its own rate.
bool ConversionRate(const std::string& input, int* num, int* den);

// "[V]:" -i "<input>" -vcodec <codec> -sameq -y <-fs 2200000000> -an <-r 29.97 ><extra> "<out>"
// An empty or blank codec becomes msmpeg4v2; limit2G non-zero adds the size limit.
EncoderCommand BuildVideoCommand(const std::string& input, const std::string& output,
                                 const std::string& codec, int limit2G,
                                 std::string_view extraOptions);

// "[A]:" -i "<input>" -vn -y "<wav>"
EncoderCommand BuildSoundSplitCommand(const std::string& input, const std::string& wav);

// "[F]:" the profile's template with "<%input%>", "<%output%>" and "<AVOptions>" filled in, or
// the built-in command when the index is out of range or the template has no arguments.
EncoderCommand BuildProfileCommand(const std::string& input, const std::string& output,
                                   const std::vector<std::string>& commands, int profileIndex);

}  // namespace kivra
