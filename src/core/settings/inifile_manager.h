#pragma once
// Every user setting of the program, held in memory for the whole run: read from the settings
// ini at start, read and assigned directly by the rest of the program, written back whole at
// the end. The trimming mode, output size and direction, mosaic type and area box sizes are the
// editing session's while the program runs: it takes them at start and gives them back before
// the end. Values are taken as they are; nothing is
// validated or clamped.
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

}  // namespace kivra

// The settings store. One instance, owned by the application object; its destructor writes
// every setting back.
class CInifileManager {
public:
    // `iniPath` is the settings file, normally ZebCRwIniFile::GetIniPath() of the settings
    // folder; an empty path keeps the settings in memory only. Fields start at their defaults
    // until LoadSettings.
    explicit CInifileManager(std::string iniPath);
    CInifileManager(const CInifileManager&) = delete;
    CInifileManager& operator=(const CInifileManager&) = delete;
    virtual ~CInifileManager();  // SaveSettings

    // Fills every field; a missing file, section or key gives the default, a key that is
    // present but empty gives 0 or the empty string.
    void LoadSettings();
    // Writes every field in one rewrite of the file; the file's other sections and lines stay.
    // False when the file could not be written (it is then left as it was).
    bool SaveSettings() const;

    // OutputSizeOf(SizeType, Direction).
    std::pair<int, int> OutputSize() const;

    const std::string& GetIniPath() const { return m_strIniPath; }

    // [Slider]
    float PlaySpeedRate = 1.0f;
    // [FFMpeg]
    std::string TmpFile_VCodec;
    std::string TmpFile_BitRate;  // key "TmpFile_BitRate(k)"
    int TmpFile_2GLimit = 1;
    std::string TmpFile_QScale = "4";  // key "TmpFile_QScale(2-31)"
    // [Trimming]
    int Mode = 0;
    int SizeType = 0;
    int Direction = 0;
    int LengthFromCenter1 = 51;
    int LengthFromCenter2 = 51;
    int FilterIndex = 1;
    int MosaicRectType = 1;
    int Deinterlace = 0;
    // [MarkerID]
    int MaxID = 100;
    int ShowLocus = 0;
    int LocusColor = 255;
    int SetIDMode = 0;
    int SkipFrameNum = 1;
    int ShowSetIDBtnMsg = 1;
    // [Slider] "PictureCacheMB", ours, read only: megabytes of decoded pictures kept so that
    // backward steps and reverse play do not decode a group of pictures again; 0 keeps none.
    // Without the key the bound grows for very large pictures (see AutomaticCacheLimit).
    int PictureCacheMB = 512;
    bool PictureCacheSet = false;  // the file names the bound
    // [Settings] "Language", ours: "ja", "en", or empty for the user's locale; read at start
    // and taking effect then. Written only once it has a value or the file has the key, so a
    // file that never had it keeps its layout.
    std::string Language;
    // [MarkerID] "SkipFill", ours: how skip mode fills the frames it skipped, 0 a straight line,
    // 1 following the point from the earlier click. Written only once set or present.
    int SkipFillByTracking = 0;
    // [Settings] "OpenDirect", ours: 1 reads phone and camera clips straight from the file, 0
    // converts them to a temporary AVI first. Written only once it is 0 or the file has the key.
    int OpenDirect = 1;

    // Writes Language at once, so that a choice made in the menu holds for the next start
    // whatever becomes of this run. False when the file could not be written.
    bool SaveLanguage() const;

private:
    std::string m_strIniPath;
};

namespace kivra {

// Settings at their defaults, in memory only, for callers that have no user settings.
const CInifileManager& DefaultSettings();

}  // namespace kivra
