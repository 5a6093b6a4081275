#pragma once
// What the media probe tells the open pipeline about a source, and the encoder options that
// turn it into square pixels the right way up.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace kivra {

class MediaInfoLibrary;

// The probe's answer for one source. All zero when the probe could not open it.
struct ProbeResult {
    bool opened = false;        // the library opened the file
    bool resizeNeeded = false;  // pixels are not square: convert to displayWidth x height
    int displayWidth = 0;
    int height = 0;
    int rotation = 0;     // "Rotation" read as an integer ("90.000" -> 90); 0 when unknown
    int storedWidth = 0;  // the stored size as the library reads it; 0 when unknown
    int storedHeight = 0;
    int durationMs = 0;  // the video stream's length; 0 when unknown
};

// False when the stored size, or the size a resize would convert to, is beyond
// PictureSizeAllowed: such a source is refused rather than converted.
bool ProbeSizeAllowed(const ProbeResult& result);

// How long a probe may take. The library needs well under a second on real files, even large
// ones on a slow disk; a file that keeps it busy longer is hostile or broken.
inline constexpr std::chrono::milliseconds kProbeDeadline{10000};

// The probe helper program beside the executables: "<program folder>/kivra-probe".
std::string ProbeHelperPath();

// Probes the source in the helper program (ProbeSourceInChild with ProbeHelperPath and
// kProbeDeadline), so that a file on which the library stalls or crashes costs at most the
// deadline and counts as no probe.
ProbeResult ProbeSource(const std::string& path);
// Opens the source with a probe in this process, reads the display size and the rotation, and
// closes it again. Only for the helper and for tests: nothing bounds how long the library takes.
ProbeResult ProbeSource(const std::string& path, const MediaInfoLibrary& library);

// Runs `helper <path>` without a shell and reads its answer line. A helper that cannot start,
// answers nothing readable, fails, or is still running at the deadline (it is then killed and
// reaped) gives the all-zero result.
ProbeResult ProbeSourceInChild(const std::string& helper, const std::string& path,
                               std::chrono::milliseconds deadline);

// The helper's answer: one line
// "probe <opened> <resize> <display width> <height> <rotation> <stored width> <stored height>
// <duration ms>".
std::string ProbeAnswerLine(const ProbeResult& result);
// The result of an answer line (trailing line feed allowed); nothing for anything else.
std::optional<ProbeResult> ParseProbeAnswer(std::string_view line);

// The conversion's extra options: "-s <D>x<H> -aspect <D/H, 4 decimals>" when a resize is
// needed, then the filter that turns 90, 180 or 270 degrees upright; leading blanks removed.
// Numbers always carry a decimal point.
std::string ExtraOptions(const ProbeResult& result);

}  // namespace kivra
