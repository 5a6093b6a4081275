#include "output/codec_option.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "output/avi_movie_output.h"
#include "platform/compressors.h"
#include "platform/four_cc.h"
#include "platform/path_util.h"
#include "platform/read_only_file.h"
#include "platform/replace_file.h"

namespace {

constexpr char kStateFileName[] = "Kivra.cdc";
constexpr char kNoCompress[] = "No Compress";

std::string CodeBytes(uint32_t code) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[size_t(i)] = static_cast<char>((code >> (8 * i)) & 0xFF);
    }
    return bytes;
}

// The scratch movie goes into a folder of our own, so nothing another user placed in the shared
// temporary folder is ever opened, followed or deleted.
std::string TemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
}

}  // namespace

namespace kivra {

BitmapInfoHeader ChooserTestFormat() {
    BitmapInfoHeader format;
    format.biWidth = 640;
    format.biHeight = 480;
    format.biBitCount = 24;
    format.biSizeImage = 640 * 480 * 3;
    return format;
}

}  // namespace kivra

ZebsCCodecOption::ZebsCCodecOption() {
    m_compVars.fccHandler = kivra::MakeFourCC("DIB ");
    m_compVars.quality = -1;
    for (const kivra::CompressorInfo& info : kivra::InstalledCompressors()) {
        m_installed.emplace(info.codeText, info.description);
    }
}

ZebsCCodecOption::~ZebsCCodecOption() {
    SaveState();
}

std::string ZebsCCodecOption::CodeText() const {
    return kivra::FourCCText(m_compVars.fccHandler);
}

int ZebsCCodecOption::LoadState(const std::string& path) {
    m_strStatePath = path;
    // Regular files only, so a pipe planted under the name cannot stall the start.
    const kivra::ReadOnlyFile file(path);
    if (!file.ok() || file.size() < 4 || file.size() - 4 > kivra::kMaxStateRecordBytes) {
        return 0;
    }
    char code[4];
    if (!file.Read(0, code, sizeof code)) {
        return 0;
    }
    const uint32_t fcc = kivra::MakeFourCC(std::string_view(code, 4));
    if (m_installed.find(kivra::FourCCText(fcc)) == m_installed.end()) {
        ::unlink(path.c_str());
        return 0;
    }
    std::string record(size_t(file.size() - 4), '\0');
    if (!record.empty() && !file.Read(4, record.data(), record.size())) {
        return 0;
    }
    m_compVars.fccHandler = fcc;
    m_compVars.state = std::move(record);
    m_strName = GetCompressorName();
    return 1;
}

void ZebsCCodecOption::SaveState() {
    if (m_strStatePath.empty()) {
        return;
    }
    if (kivra::IsUncompressedCode(CodeText())) {
        ::unlink(m_strStatePath.c_str());
        return;
    }
    // A failed write keeps the previous file whole; nobody is told.
    kivra::ReplaceFileContents(m_strStatePath, CodeBytes(m_compVars.fccHandler) + m_compVars.state);
}

std::string ZebsCCodecOption::GetCompressorName() const {
    const std::string code = CodeText();
    if (kivra::IsUncompressedCode(code)) {
        return kNoCompress;
    }
    const auto found = m_installed.find(code);
    return found == m_installed.end() ? kNoCompress : found->second;
}

kivra::CompressOptions ZebsCCodecOption::GetCompressOptions() const {
    kivra::CompressOptions options;
    options.fccType = kivra::MakeFourCC("vids");
    options.fccHandler = m_compVars.fccHandler;
    options.keyFrameEvery = m_compVars.keyFrameEvery;
    options.quality = m_compVars.quality;
    // The chooser shows kilobytes per second; the writer wants bytes.
    options.bytesPerSecond = m_compVars.dataRate > 0 ? m_compVars.dataRate * 1024 : 0;
    if (m_compVars.dataRate > 0) {
        options.flags |= kivra::kCompressDataRate;
    }
    if (m_compVars.keyFrameEvery > 0) {
        options.flags |= kivra::kCompressKeyFrames;
    }
    options.parameters = m_compVars.state;
    return options;
}

int ZebsCCodecOption::TestCompressor(const kivra::BitmapInfoHeader& format) {
    const int width = format.biWidth;
    const int height = format.biHeight < 0 ? -format.biHeight : format.biHeight;
    if (width <= 0 || height <= 0 || width > kivra::kMaxMovieSide ||
        height > kivra::kMaxMovieSide) {
        return 0;
    }
    std::string folder = kivra::JoinPath(TemporaryFolder(), "kivra-codec-XXXXXX");
    if (::mkdtemp(folder.data()) == nullptr) {
        return 0;
    }
    const std::string scratch = kivra::JoinPath(folder, "dummy.avi");
    bool ok = false;
    {
        const kivra::MovieFormat movie{width, height, 30, 1};
        kivra::MovieCreateError error = kivra::MovieCreateError::None;
        std::string detail;
        auto output =
            kivra::AviMovieOutput::Create(scratch, movie, GetCompressOptions(), &error, &detail);
        if (output) {
            const std::vector<uint8_t> black(size_t(width) * size_t(height) * 4, 0);
            ok = output->WriteFrame(black.data(), width * 4) && output->Finish();
        }
    }
    ::unlink(scratch.c_str());
    ::rmdir(folder.c_str());
    return ok ? 1 : 0;
}

bool ZebsCCodecOption::CheckRecommendedCompressor(const std::string& settingsFolder) {
    const std::string path = kivra::JoinPath(settingsFolder, kStateFileName);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) {
        kivra::ReplaceFileContents(
            path, CodeBytes(kivra::MakeFourCC(kivra::kRecommendedCode)) + kivra::kRecommendedState);
    }
    std::string code;
    {
        ZebsCCodecOption check;
        check.LoadState(path);
        // An installed code is not enough: another encoder of the code, or options the encoder
        // lacks, would fail every save. Unusable counts as missing, and the uncompressed choice
        // removes the file when the instance goes.
        const kivra::BitmapInfoHeader format = kivra::ChooserTestFormat();
        const kivra::MovieFormat movie{format.biWidth, format.biHeight, 30, 1};
        if (!kivra::IsUncompressedCode(check.CodeText()) &&
            !kivra::AviMovieOutput::TryEncoder(movie, check.GetCompressOptions(), nullptr)) {
            check.m_compVars.fccHandler = kivra::MakeFourCC("DIB ");
        }
        code = check.CodeText();
    }
    return !kivra::IsUncompressedCode(code);
}
