#pragma once
// The compressor trimmed movies are saved with: its four-character code, its settings record
// (here the encoder options text, "key=value:key=value"), and the quality, key-frame and
// data-rate values of the chooser. Kept across runs in the state file "Kivra.cdc". The document
// owns one for the whole run; the start-up check makes a short-lived second one.
#include <cstdint>
#include <map>
#include <string>

#include "output/compress_options.h"
#include "picture/dib.h"

namespace kivra {

// What the chooser edits in place (the fields of the system's compressor variables we use).
struct CompressorVars {
    uint32_t fccHandler = 0;  // lowest byte first; "DIB " after construction
    int keyFrameEvery = 0;    // 0: the encoder's default
    int dataRate = 0;         // kilobytes per second as the chooser shows it; 0: none
    int quality = -1;         // 0..10000, -1: the encoder's default
    std::string state;        // the settings record: encoder options text, opaque to the program
};

// The built-in default state ("CDC" 183): code and settings record of the recommended compressor.
inline constexpr char kRecommendedCode[] = "H264";
inline constexpr char kRecommendedState[] = "crf=18:preset=medium";
// A state file whose record is longer than this is not loaded: an options line is far shorter.
inline constexpr long kMaxStateRecordBytes = 64 * 1024;

// The input every chosen compressor must take: 640x480, 24 bits, uncompressed. The start-up
// check opens the saved compressor for it too, so a choice the chooser took passes there.
BitmapInfoHeader ChooserTestFormat();

}  // namespace kivra

class ZebsCCodecOption {
public:
    // Starts as "DIB " with quality -1 and enumerates the installed compressors.
    ZebsCCodecOption();
    // Saves the state (SaveState).
    virtual ~ZebsCCodecOption();
    ZebsCCodecOption(const ZebsCCodecOption&) = delete;
    ZebsCCodecOption& operator=(const ZebsCCodecOption&) = delete;

    // Reads the state file; 1 when it named an installed compressor, else 0 (the file is deleted
    // when its code is not installed). Remembers the path in any case.
    int LoadState(const std::string& path);
    // Writes the state file, or removes it for an uncompressed choice; nothing without a path.
    void SaveState();
    // The description of the current compressor, "No Compress" when it is not installed.
    std::string GetCompressorName() const;
    // Non-zero when a compressed movie of this input format can really be made with the current
    // settings (the encoder is opened and one picture written to a scratch AVI of our own).
    int TestCompressor(const kivra::BitmapInfoHeader& format);
    kivra::CompressOptions GetCompressOptions() const;
    // The start-up check: seeds the state file from the built-in default when absent, loads it in
    // a temporary instance and opens the encoder its record would use; false when the
    // recommended compressor is missing (the check read "DIB "; the file is then removed).
    static bool CheckRecommendedCompressor(const std::string& settingsFolder);

    // Code text (upper case) -> description of every installed compressor, the uncompressed
    // "DIB " entry included (its display name is still "No Compress"). The chooser's quality,
    // key-frame and data-rate values are not part of the state file: they live in m_compVars.
    const std::map<std::string, std::string>& Installed() const { return m_installed; }
    const std::string& StatePath() const { return m_strStatePath; }
    // Code text of the current compressor, upper case.
    std::string CodeText() const;

    kivra::CompressorVars m_compVars;  // the chooser edits these in place

private:
    std::map<std::string, std::string> m_installed;
    std::string m_strStatePath;
    std::string m_strName = "No Compress";
};
