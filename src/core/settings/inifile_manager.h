#pragma once
// Every user setting of the program, held in memory for the whole run in one typed group per
// ini section. The trimming mode, output size and direction, mosaic type and area box sizes are
// the editing session's while the program runs: it takes them at start and gives them back
// before the end.
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace kivra {

// Text to number the way the settings have always been read: leading blanks, an optional
// sign, digits (and for the float a decimal point and an exponent), up to the first other
// character; no digits at all gives 0. Always with a decimal point, whatever the locale.
// An int beyond the int range gives INT_MAX or INT_MIN; a float beyond the float range gives 0,
// so that nobody downstream is handed an infinite speed.
int TextToInt(std::string_view text);
float TextToFloat(std::string_view text);
// "%.1f" and "%d" with a decimal point in every locale.
std::string FormatOneDecimal(double value);
std::string FormatInt(int value);

// The output picture's (width, height): 640x480, 1024x768 or 1440x1080 by size type 0, 1, 2,
// upright (width and height swapped) when direction is 0; 0x0 for any other size type.
std::pair<int, int> OutputSizeOf(int sizeType, int direction);

// The ini's groups, one struct a section; the store owns them and hands them out. Numbers keep
// what the file says (an odd number in a choice is written back as it was); a flag is on when
// its number is not 0, and is written as 0 or 1.

// [Slider]: play speed, and the picture cache bound, which is ours and only ever read: megabytes
// of decoded pictures kept so that backward steps and reverse play do not decode a group of
// pictures again; 0 keeps none. Without the key the bound grows for very large pictures.
struct SliderSettings {
    float playSpeedRate = 1.0f;
    int pictureCacheMB = 512;
    bool pictureCacheSet = false;  // the file names the bound
};

// [FFMpeg]: how a clip is converted into the temporary AVI.
struct ScratchEncoderSettings {
    std::string videoCodec;
    std::string bitRate;       // key "TmpFile_BitRate(k)"
    bool limit2G = true;       // key "TmpFile_2GLimit"
    std::string qScale = "4";  // key "TmpFile_QScale(2-31)"
};

// [Trimming]: the editing session's trimming state between runs (numbers as stored; the session
// says what they stand for), the file dialog's filter, and deinterlacing of shown pictures.
struct TrimmingSettings {
    int mode = 0;
    int sizeType = 0;
    int direction = 0;
    int boxHalfSize1 = 51;  // key "LengthFromCenter1"
    int boxHalfSize2 = 51;  // key "LengthFromCenter2"
    int filterIndex = 1;
    int mosaicType = 1;  // key "MosaicRectType"
    bool deinterlace = false;

    // OutputSizeOf(sizeType, direction).
    std::pair<int, int> OutputSize() const { return OutputSizeOf(sizeType, direction); }
};

// How the marker ID tool picks the next ID ("SetIDMode"): 0 counts up on each click, any other
// number keeps the ID and skips frames ahead.
enum class MarkerIdMode : int { kIncrement = 0, kSkip = 1 };

// [MarkerID]: the marker ID tool and the locus overlay.
struct MarkerIdSettings {
    int maxId = 100;
    bool showLocus = false;
    int locusColor = 255;  // 0x00BBGGRR
    MarkerIdMode mode = MarkerIdMode::kIncrement;
    int skipFrames = 1;          // key "SkipFrameNum"
    bool askToShowIdBar = true;  // key "ShowSetIDBtnMsg"
    // "SkipFill", ours: skip mode fills the skipped frames by following the point from the
    // earlier click rather than along a straight line. Written only once set or present.
    bool skipFillByTracking = false;

    bool Skipping() const { return mode != MarkerIdMode::kIncrement; }
};

// [Settings], ours. Language: "ja", "en", or empty for the user's locale, taking effect at
// start; written only once it has a value or the file has the key, so a file that never had it
// keeps its layout. OpenDirect: phone and camera clips are read straight from the file rather
// than converted to a temporary AVI first; written only once off or present.
struct ProgramSettings {
    std::string language;
    bool openDirect = true;
};

}  // namespace kivra

// The settings store: reads the groups from the settings ini at start and writes them back whole
// at the end. One instance, owned by the application object, which hands each group to whoever
// needs it. Values are taken as they are; nothing is validated or clamped.
class CInifileManager {
public:
    // `iniPath` is the settings file, normally ZebCRwIniFile::GetIniPath() of the settings
    // folder; an empty path keeps the settings in memory only. The groups start at their
    // defaults until LoadSettings.
    explicit CInifileManager(std::string iniPath);
    CInifileManager(const CInifileManager&) = delete;
    CInifileManager& operator=(const CInifileManager&) = delete;
    virtual ~CInifileManager();  // SaveSettings

    // Fills every group; a missing file, section or key gives the default, a key that is
    // present but empty gives 0 or the empty string.
    void LoadSettings();
    // Writes every group in one rewrite of the file; the file's other sections and lines stay.
    // False when the file could not be written (it is then left as it was).
    bool SaveSettings() const;
    // Writes the language at once, so that a choice made in the menu holds for the next start
    // whatever becomes of this run. False when the file could not be written.
    bool SaveLanguage() const;

    const std::string& GetIniPath() const { return m_strIniPath; }

    kivra::SliderSettings& Slider() { return m_slider; }
    const kivra::SliderSettings& Slider() const { return m_slider; }
    kivra::ScratchEncoderSettings& ScratchEncoder() { return m_scratchEncoder; }
    const kivra::ScratchEncoderSettings& ScratchEncoder() const { return m_scratchEncoder; }
    kivra::TrimmingSettings& Trimming() { return m_trimming; }
    const kivra::TrimmingSettings& Trimming() const { return m_trimming; }
    kivra::MarkerIdSettings& MarkerId() { return m_markerId; }
    const kivra::MarkerIdSettings& MarkerId() const { return m_markerId; }
    kivra::ProgramSettings& Program() { return m_program; }
    const kivra::ProgramSettings& Program() const { return m_program; }

private:
    std::string m_strIniPath;
    kivra::SliderSettings m_slider;
    kivra::ScratchEncoderSettings m_scratchEncoder;
    kivra::TrimmingSettings m_trimming;
    kivra::MarkerIdSettings m_markerId;
    // The number each on/off key held when read: a hand-edited "2" still on is written back
    // as "2", so the file keeps its values.
    std::map<std::string_view, int> m_flagsRead;
    kivra::ProgramSettings m_program;
};

namespace kivra {

// Settings at their defaults, in memory only, for callers that have no user settings.
const CInifileManager& DefaultSettings();

}  // namespace kivra
