#include "reading/avi_video_stream.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <utility>

#include "picture/picture_cache.h"
#include "platform/compressors.h"
#include "platform/memory_policy.h"
#include "platform/path_util.h"
#include "platform/picture_limits.h"
#include "platform/utf8.h"
#include "reading/index_only_reader.h"
#include "reading/stream_time.h"
#include "settings/inifile_manager.h"

namespace {

// The "txts" chunk holds UTF-16LE text; it is kept up to its first NUL character.
std::string Utf16LeToUtf8(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t c = uint32_t(bytes[i]) | uint32_t(bytes[i + 1]) << 8;
        if (c == 0) {
            break;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
            const uint32_t low = uint32_t(bytes[i + 2]) | uint32_t(bytes[i + 3]) << 8;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        kivra::AppendUtf8(out, c);
    }
    return out;
}

// The size the stream's BITMAPINFOHEADER claims (the decoder is set up with it); a negative
// height only means top-down rows. Zeros without one.
std::pair<int64_t, int64_t> FormatSize(const std::vector<uint8_t>& format) {
    if (format.size() < 12) {
        return {0, 0};
    }
    const auto le32 = [&format](size_t at) {
        return int32_t(uint32_t(format[at]) | uint32_t(format[at + 1]) << 8 |
                       uint32_t(format[at + 2]) << 16 | uint32_t(format[at + 3]) << 24);
    };
    const int64_t width = le32(4);
    const int64_t height = le32(8);
    return {width < 0 ? -width : width, height < 0 ? -height : height};
}

bool FormatSizeAllowed(const std::vector<uint8_t>& format) {
    const auto [width, height] = FormatSize(format);
    return format.size() < 12 || kivra::PictureSizeAllowed(width, height);
}

uint64_t NextOpening() {
    static std::atomic<uint64_t> openings{0};
    return ++openings;
}

}  // namespace

CAviVideoStream::CAviVideoStream(std::string path, const kivra::SliderSettings& cache)
    : m_strFileName(std::move(path)), m_cache(cache) {}

CAviVideoStream::~CAviVideoStream() {
    CloseStream();
    DeleteTemporaryFiles();
}

int CAviVideoStream::OpenStream() {
    return OpenAvi(true);
}

int CAviVideoStream::OpenIndexOnly() {
    return OpenAvi(false);
}

int CAviVideoStream::OpenAvi(bool decode) {
    using kivra::AviParseError;
    if (m_strFileName.empty()) {
        return kEmptyName;
    }
    CloseStream();
    AviParseError error = AviParseError::None;
    std::optional<kivra::AviFile> file = kivra::ParseAviFile(m_strFileName, &error);
    if (!file) {
        return (error == AviParseError::CannotOpen || error == AviParseError::NotAvi) ? kNotAvi
                                                                                      : kNoFileInfo;
    }
    const int video = kivra::FirstVideoStream(*file);
    if (video < 0) {
        return kNoVideoStream;
    }
    const kivra::AviStream& stream = file->streams[size_t(video)];
    m_strTextInfo = Utf16LeToUtf8(stream.txts);

    // Header counts beyond what the file holds (a truncated recording) shrink to the chunks
    // that are there, so every frame the program offers can be shown.
    const uint32_t held = uint32_t(std::min<size_t>(stream.samples.size(), UINT32_MAX));
    m_streamInfo = stream.header;
    if (m_streamInfo.length == 0 || m_streamInfo.length > held) {
        m_streamInfo.length = held;
    }
    m_fileInfo.dwWidth = file->main.width;
    m_fileInfo.dwHeight = file->main.height;
    m_fileInfo.dwScale = stream.header.scale;
    m_fileInfo.dwRate = stream.header.rate;
    const uint32_t total = std::max(file->main.totalFrames, file->odmlTotalFrames);
    m_fileInfo.dwLength = (total == 0 || total > held) ? held : total;
    m_nStatedFrames = int(
        std::min<uint32_t>(stream.header.length != 0 ? stream.header.length : total, INT32_MAX));
    if (m_streamInfo.length == 0) {
        return kNoStreamInfoOrFrame;
    }
    if (!kivra::PictureSizeAllowed(file->main.width, file->main.height) ||
        !FormatSizeAllowed(stream.format)) {
        return kPictureTooLarge;
    }

    DescribeCodec();
    if (!decode) {
        m_pGetFrame = kivra::IndexOnlyReader::ForAvi(*file, video);
        if (m_fileInfo.dwWidth == 0 || m_fileInfo.dwHeight == 0) {
            const auto [width, height] = FormatSize(stream.format);
            m_fileInfo.dwWidth = uint32_t(width);
            m_fileInfo.dwHeight = uint32_t(height);
        }
        m_nOpening = NextOpening();
        return kOpened;
    }

    kivra::AviFrameDecoder::OpenResult result{};
    std::unique_ptr<kivra::AviFrameDecoder> decoder =
        kivra::AviFrameDecoder::Open(m_strFileName, *file, video, &result);
    if (!decoder) {
        return result == kivra::AviFrameDecoder::OpenResult::NoDecoder ? kNoDecompressor : kNotAvi;
    }
    m_pGetFrame = std::move(decoder);
    m_pGetFrame->SetCacheLimit(
        CacheLimitFor(int(file->main.width), int(file->main.height), LongestGroup()));

    if (!m_pGetFrame->GetFrame(0, m_dib)) {
        CloseStream();
        return kNoStreamInfoOrFrame;
    }
    if (!kivra::PictureSizeAllowed(m_dib.Width(), m_dib.Height())) {
        CloseStream();
        return kPictureTooLarge;
    }
    m_nDibPicture = m_pGetFrame->PictureOf(0);
    m_bDibDeinterlaced = false;
    if (m_fileInfo.dwWidth == 0 || m_fileInfo.dwHeight == 0) {
        m_fileInfo.dwWidth = uint32_t(m_dib.Width());
        m_fileInfo.dwHeight = uint32_t(m_dib.Height());
    }
    m_bTopDown = m_dib.TopDown();
    m_nOpening = NextOpening();
    return kOpened;
}

int CAviVideoStream::OpenReader(std::unique_ptr<kivra::VideoReader> reader) {
    return OpenWithReader(std::move(reader), true);
}

int CAviVideoStream::OpenReaderIndexOnly(std::unique_ptr<kivra::VideoReader> numbering) {
    return OpenWithReader(std::move(numbering), false);
}

int CAviVideoStream::OpenWithReader(std::unique_ptr<kivra::VideoReader> reader, bool decode) {
    if (m_strFileName.empty()) {
        return kEmptyName;
    }
    CloseStream();
    if (!reader || reader->SampleCount() <= 0) {
        return kNoStreamInfoOrFrame;
    }
    const kivra::ReaderFormat format = reader->Format();
    if (!kivra::PictureSizeAllowed(format.width, format.height)) {
        return kPictureTooLarge;
    }
    m_streamInfo = kivra::AviStreamHeader{};
    m_streamInfo.rate = format.rate;
    m_streamInfo.scale = format.scale;
    m_streamInfo.length = uint32_t(reader->SampleCount());
    m_fileInfo.dwWidth = uint32_t(format.width);
    m_fileInfo.dwHeight = uint32_t(format.height);
    m_fileInfo.dwRate = format.rate;
    m_fileInfo.dwScale = format.scale;
    m_fileInfo.dwLength = m_streamInfo.length;
    m_strTextInfo.clear();
    m_strFourCC.clear();
    m_strCodecName = reader->CodecName();
    m_strCodecDesc.clear();
    m_strCodecDriver.clear();
    m_pGetFrame = std::move(reader);
    m_bDirect = true;
    if (!decode) {
        m_nOpening = NextOpening();
        return kOpened;
    }
    // Only a reader that decodes keeps pictures: the index-only one skips the group scan.
    m_pGetFrame->SetCacheLimit(CacheLimitFor(format.width, format.height, LongestGroup()));
    if (!m_pGetFrame->GetFrame(0, m_dib)) {
        CloseStream();
        return kNoStreamInfoOrFrame;
    }
    m_nDibPicture = m_pGetFrame->PictureOf(0);
    m_bDibDeinterlaced = false;
    m_bTopDown = m_dib.TopDown();
    m_nOpening = NextOpening();
    return kOpened;
}

void CAviVideoStream::CloseStream() {
    m_pRequests.reset();
    const std::lock_guard<std::mutex> hold(m_decodeLock);
    m_pGetFrame.reset();
    m_nDibPicture = -1;
}

void CAviVideoStream::DescribeCodec() {
    const kivra::CodecTexts texts = kivra::DescribeCodec(m_streamInfo.fccHandler);
    m_strFourCC = texts.code;
    m_strCodecName = texts.name;
    m_strCodecDesc = texts.description;
    m_strCodecDriver = texts.driver;
}

int CAviVideoStream::GetStart() const {
    return HasStream() ? int(std::min<uint32_t>(m_streamInfo.start, INT32_MAX / 2)) : -1;
}

int CAviVideoStream::GetEnd() const {
    return HasStream()
               ? GetStart() + int(std::min<uint32_t>(m_streamInfo.length, INT32_MAX / 2)) - 1
               : -1;
}

double CAviVideoStream::GetFrameRate() const {
    return m_fileInfo.dwScale == 0 ? 0.0 : double(m_fileInfo.dwRate) / double(m_fileInfo.dwScale);
}

int CAviVideoStream::FindSample(int n, kivra::FindFlags flags) const {
    if (!HasStream()) {
        return -1;
    }
    // The decoder's key frames, not the file's flags: a file without an index flags every
    // chunk, but only its first one can be decoded on its own.
    const int start = GetStart();
    const int count = GetEnd() - start + 1;
    const int64_t i = int64_t(n) - start;
    int key = -1;
    if (flags == kivra::FindFlags::PrevKey) {
        key = i < 0 ? -1 : m_pGetFrame->FindKeySample(int(std::min<int64_t>(i, count - 1)), false);
    } else {
        key = i >= count ? -1 : m_pGetFrame->FindKeySample(int(std::max<int64_t>(i, 0)), true);
    }
    return key < 0 || key >= count ? -1 : key + start;
}

int CAviVideoStream::NextKeyFrame(int n) const {
    return HasStream() && n < INT32_MAX ? FindSample(n + 1, kivra::FindFlags::NextKey) : -1;
}

int CAviVideoStream::PictureOf(int n) const {
    return HasStream() ? m_pGetFrame->PictureOf(n) : -1;
}

int64_t CAviVideoStream::SampleToTime(int n) const {
    if (!HasStream()) {
        return -1;
    }
    return kivra::SampleToMilliseconds(n, m_streamInfo.scale, m_streamInfo.rate);
}

void CAviVideoStream::LoadFrame(int n, bool deinterlace) {
    const std::lock_guard<std::mutex> hold(m_decodeLock);
    LoadFrameLocked(n, deinterlace);
}

bool CAviVideoStream::LoadFrameLocked(int n, bool deinterlace) {
    if (!m_pGetFrame) {
        return false;
    }
    const int sample = n - GetStart();
    const int picture = m_pGetFrame->PictureOf(sample);
    if (picture >= 0 && picture == m_nDibPicture && deinterlace == m_bDibDeinterlaced &&
        !m_dib.Empty()) {
        return true;
    }
    if (!m_pGetFrame->GetFrame(sample, m_dib)) {
        m_nDibPicture = -1;  // the previous picture stays, unless converting failed halfway
        return false;
    }
    if (deinterlace) {
        kivra::DoubleRows(m_dib);
    }
    m_nDibPicture = picture;
    m_bDibDeinterlaced = deinterlace;
    return true;
}

bool CAviVideoStream::CopyFrame(int n, bool deinterlace, kivra::Dib& into) {
    const std::lock_guard<std::mutex> hold(m_decodeLock);
    const bool got = LoadFrameLocked(n, deinterlace);
    into = m_dib;
    return got;
}

void CAviVideoStream::RequestFrame(int n, bool deinterlace, bool keep,
                                   kivra::PictureRequests::Arrived arrived) {
    if (!m_pGetFrame) {
        return;
    }
    if (!m_pRequests) {
        m_pRequests = std::make_unique<kivra::PictureRequests>(
            [this](const kivra::PictureRequests::Request& request) {
                kivra::ShownPicture shown;
                shown.opening = m_nOpening;
                shown.frame = request.frame;
                shown.deinterlaced = request.deinterlace;
                CopyFrame(request.frame, request.deinterlace, shown.dib);
                return shown;
            });
    }
    m_pRequests->Ask({n, deinterlace, keep}, std::move(arrived));
}

void CAviVideoStream::WaitForRequestedFrames() {
    if (m_pRequests) {
        m_pRequests->WaitIdle();
    }
}

bool CAviVideoStream::SaveFrameAsBmp(int n, const std::string& path, bool deinterlace,
                                     bool* decoded) {
    kivra::Dib picture;
    bool got = false;
    {
        const std::lock_guard<std::mutex> hold(m_decodeLock);
        got = m_pGetFrame && m_pGetFrame->GetFrame(n - GetStart(), picture);
    }
    if (decoded != nullptr) {
        *decoded = got;
    }
    if (!got) {
        return false;
    }
    if (deinterlace) {
        kivra::DoubleRows(picture);
    }
    return kivra::WriteBmpFile(path, picture);
}

std::string CAviVideoStream::MarkerFilePath() const {
    return kivra::ReplaceExtension(m_strFileName, m_bDirect ? ".$tmp$.lff" : ".lff");
}

std::unique_ptr<kivra::VideoReader> CAviVideoStream::OpenDecoder() const {
    const std::lock_guard<std::mutex> hold(m_decodeLock);
    return m_pGetFrame ? m_pGetFrame->OpenSibling() : nullptr;
}

size_t CAviVideoStream::CacheLimitFor(int width, int height, int groupPictures) const {
    const size_t bytes = size_t(std::max(m_cache.pictureCacheMB, 0)) << 20;
    return m_cache.pictureCacheSet
               ? bytes
               : kivra::AutomaticCacheLimit(bytes, width, height, kivra::PhysicalMemoryBytes(),
                                            groupPictures);
}

int CAviVideoStream::LongestGroup() const {
    if (!m_pGetFrame) {
        return 0;
    }
    const int count = m_pGetFrame->SampleCount();
    int longest = 0;
    for (int key = m_pGetFrame->FindKeySample(0, true); key >= 0 && key < count;) {
        const int next = key + 1 < count ? m_pGetFrame->FindKeySample(key + 1, true) : -1;
        const int end = next > key ? next : count;
        longest = std::max(longest, end - key);
        if (next <= key) {
            break;
        }
        key = next;
    }
    return longest;
}

void CAviVideoStream::SetPictureCacheBytes(size_t bytes) {
    const std::lock_guard<std::mutex> hold(m_decodeLock);
    if (m_pGetFrame) {
        m_pGetFrame->SetCacheLimit(bytes);
    }
}

size_t CAviVideoStream::PictureCacheBytes() const {
    const std::lock_guard<std::mutex> hold(m_decodeLock);
    return m_pGetFrame ? m_pGetFrame->CacheBytes() : 0;
}

kivra::DecoderStats CAviVideoStream::DecoderStats() const {
    const std::lock_guard<std::mutex> hold(m_decodeLock);
    return m_pGetFrame ? m_pGetFrame->Stats() : kivra::DecoderStats{};
}

void CAviVideoStream::WaitForPrefetch() {
    WaitForRequestedFrames();
    const std::lock_guard<std::mutex> hold(m_decodeLock);
    if (m_pGetFrame) {
        m_pGetFrame->WaitForPrefetch();
    }
}

void CAviVideoStream::DeleteTemporaryFiles() const {
    if (m_strFileName.empty() || m_bDirect) {
        return;
    }
    std::error_code ignored;
    if (m_bTemporary && kivra::EndsWithIgnoreCase(m_strFileName, ".$tmp$.avi")) {
        std::filesystem::remove(m_strFileName, ignored);
    }
    if (!m_strSoundFile.empty()) {
        std::filesystem::remove(m_strSoundFile, ignored);
    }
}
