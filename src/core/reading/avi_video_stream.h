#pragma once
// The open video: stream and file information, codec texts and the decoded display bitmap. One per
// opened file; owned by the document and deleted when the video closes, which also deletes its
// temporary files.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "picture/dib.h"
#include "reading/frame_decoder.h"
#include "reading/picture_requests.h"
#include "reading/riff_avi.h"
#include "reading/video_reader.h"
#include "settings/inifile_manager.h"

namespace kivra {

// The file-level information the program uses (picture size, rate/scale, frame count).
struct AviFileInfo {
    uint32_t dwWidth = 0;
    uint32_t dwHeight = 0;
    uint32_t dwScale = 0;
    uint32_t dwRate = 0;
    uint32_t dwLength = 0;
};

enum class FindFlags { PrevKey, NextKey };

}  // namespace kivra

class CAviVideoStream {
public:
    // Result codes of OpenStream.
    enum OpenCode {
        kOpened = 0,
        kEmptyName = 1,
        kNotAvi = 2,
        kNoVideoStream = 3,
        kNoFileInfo = 4,
        kNoStreamInfoOrFrame = 5,
        kNoDecompressor = 6,
        kNot24Bit = 7,
        // Our own: the headers or the first picture are beyond kivra::PictureSizeAllowed.
        kPictureTooLarge = 8,
    };

    // cache must outlive the stream: the picture cache's bound comes from it.
    explicit CAviVideoStream(
        std::string path, const kivra::SliderSettings& cache = kivra::DefaultSettings().Slider());
    ~CAviVideoStream();
    CAviVideoStream(const CAviVideoStream&) = delete;
    CAviVideoStream& operator=(const CAviVideoStream&) = delete;

    int OpenStream();
    // OpenStream and OpenReader without a decoder: the frames are counted, timed and numbered
    // from the index alone and no picture is ever shown, so a file whose codec is missing opens
    // too. For work on the markers alone.
    int OpenIndexOnly();
    int OpenReaderIndexOnly(std::unique_ptr<kivra::VideoReader> numbering);
    // Opens the file through a reader of another container instead of as an AVI file. Its
    // marker file is the one the conversion's temporary AVI would have, so markers stay with
    // the clip whichever way it is opened.
    int OpenReader(std::unique_ptr<kivra::VideoReader> reader);
    bool IsDirect() const { return m_bDirect; }
    void CloseStream();
    bool HasStream() const { return m_pGetFrame != nullptr; }

    int GetStart() const;
    int GetEnd() const;
    int GetFrameCount() const { return static_cast<int>(m_fileInfo.dwLength); }
    // The frame count the headers claim, which a file cut short no longer holds; 0 when they
    // claim none. GetFrameCount() counts only the frames the file holds.
    int StatedFrameCount() const { return m_nStatedFrames; }
    double GetFrameRate() const;
    // The first key frame after frame n; -1 when none or no stream.
    int NextKeyFrame(int n) const;
    // Which of the source's pictures frame n shows (the reader's numbering); -1 without one.
    int PictureOf(int n) const;
    // Nearest key frame at or before / at or after sample n; -1 when none or no stream.
    int FindSample(int n, kivra::FindFlags flags) const;
    // Milliseconds of sample n; -1 without a stream.
    int64_t SampleToTime(int n) const;

    // Decodes frame n into the display bitmap, its rows doubled from every other one when
    // deinterlace is set: the setting travels with the request.
    void LoadFrame(int n, bool deinterlace = false);
    // Frame n's picture decoded on the stream's own thread; arrived gets a copy there. A request
    // not begun gives way to a newer one unless kept. Nothing arrives after CloseStream.
    void RequestFrame(int n, bool deinterlace, bool keep, kivra::PictureRequests::Arrived arrived);
    // For tests and measurements: until every frame requested so far has arrived.
    void WaitForRequestedFrames();
    // Frame n as LoadFrame shows it, copied into `into`; false when it could not be decoded
    // (`into` then holds the last picture decoded). Safe beside requested frames.
    bool CopyFrame(int n, bool deinterlace, kivra::Dib& into);
    // Frame n as a 24-bit BMP at path; *decoded (when given) tells a frame that could not be
    // decoded from a file that could not be written.
    bool SaveFrameAsBmp(int n, const std::string& path, bool deinterlace, bool* decoded = nullptr);
    // Tells this opening apart from every other one in the run (0 before the first), so a
    // frame remembered for one video is not taken for the next at the same address.
    uint64_t Opening() const { return m_nOpening; }

    // The marker file beside the stream's file: extension replaced by "lff".
    std::string MarkerFilePath() const;
    const std::string& FileName() const { return m_strFileName; }
    const kivra::AviFileInfo& FileInfo() const { return m_fileInfo; }
    const kivra::AviStreamHeader& StreamInfo() const { return m_streamInfo; }
    const std::string& FourCCText() const { return m_strFourCC; }
    const std::string& CodecName() const { return m_strCodecName; }
    const std::string& CodecDescription() const { return m_strCodecDesc; }
    const std::string& CodecDriver() const { return m_strCodecDriver; }
    const std::string& TextInfo() const { return m_strTextInfo; }
    // Only for a caller that never requests frames: the stream's thread writes it.
    const kivra::Dib& DisplayBitmap() const { return m_dib; }
    bool IsTopDown() const { return m_bTopDown; }

    // The document made this file by conversion, so it is deleted with the stream. A file the
    // user opened directly is never deleted, whatever its name.
    void MarkAsTemporary() { m_bTemporary = true; }
    // The document split the sound off into `path` for this stream: deleted with the stream.
    // Nothing else under a sound file's name is ever deleted.
    void TakeSoundFile(std::string path) { m_strSoundFile = std::move(path); }

    // A decoder of its own on the same stream, for work on another thread; null without a stream.
    std::unique_ptr<kivra::VideoReader> OpenDecoder() const;

    // Bound of the decoded-picture cache (see AviFrameDecoder::SetCacheLimit).
    void SetPictureCacheBytes(size_t bytes);
    size_t PictureCacheBytes() const;
    // The cache bound for pictures of this size: the user's, or one that grows with them and
    // with the longest group of pictures (groupPictures) going backwards decodes whole.
    size_t CacheLimitFor(int width, int height, int groupPictures = 0) const;
    // The most samples from one key frame to the next (or to the end); 0 without a stream.
    int LongestGroup() const;

    // For measurements: what the decoder has done so far (zeros without a stream).
    kivra::DecoderStats DecoderStats() const;
    // For tests and measurements: waits until decoding ahead (going backwards) is idle.
    void WaitForPrefetch();

private:
    int OpenAvi(bool decode);
    int OpenWithReader(std::unique_ptr<kivra::VideoReader> reader, bool decode);
    void DescribeCodec();
    // LoadFrame with m_decodeLock held; whether the frame's own picture is now shown.
    bool LoadFrameLocked(int n, bool deinterlace);
    void DeleteTemporaryFiles() const;

    std::string m_strFileName;
    const kivra::SliderSettings& m_cache;
    // Guards the decoder's work through m_pGetFrame, the display bitmap and what it holds
    // (m_dib, m_nDibPicture, m_bDibDeinterlaced): the requests' thread decodes too. Index
    // questions (PictureOf, FindKeySample) read tables fixed at opening and need no lock.
    mutable std::mutex m_decodeLock;
    std::unique_ptr<kivra::VideoReader> m_pGetFrame;
    kivra::AviFileInfo m_fileInfo;
    kivra::AviStreamHeader m_streamInfo;
    std::string m_strFourCC, m_strCodecName, m_strCodecDesc, m_strCodecDriver;
    std::string m_strTextInfo;
    kivra::Dib m_dib;  // the decoder converts into it; deinterlaced in place
    // The decoder's picture the display bitmap holds, so an unchanged repaint decodes nothing.
    int m_nDibPicture = -1;
    int m_nStatedFrames = 0;
    uint64_t m_nOpening = 0;
    bool m_bDibDeinterlaced = false;
    bool m_bTopDown = false;
    bool m_bTemporary = false;
    std::string m_strSoundFile;
    bool m_bDirect = false;
    // Made at the first request; ended before the decoder goes.
    std::unique_ptr<kivra::PictureRequests> m_pRequests;
};
