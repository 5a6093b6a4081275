#include "document/vfw_doc.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <algorithm>
#include <chrono>

#include "convert/encoder_command.h"
#include "convert/probe_options.h"
#include "direct/direct_reader.h"
#include "platform/path_util.h"
#include "platform/read_only_file.h"
#include "platform/scratch_file.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "settings/inifile_manager.h"

namespace {

using kivra::kIdsDocumentOpenFailed;
using kivra::kIdsMarkerLoadFailed;
using kivra::kIdsPictureTooLarge;
using kivra::kIdsReadOnlyFolder;
using kivra::kIdsSizeWarningConverted;
using kivra::kIdsSizeWarningDirect;
using kivra::kIdsUnrecognisedFile;
using kivra::kIdsVideoFileFilter;

constexpr char kCodecStateFile[] = "Kivra.cdc";
constexpr char kTmpAvi[] = ".$tmp$.avi";
constexpr char kTmpWav[] = ".$tmp$.wav";
constexpr uint64_t kTwoGigabytes = uint64_t(1) << 31;

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

// Whether files can be created beside the source. A "writeTest.tst" that the user already has
// is left alone: the test then uses a unique name instead.
bool FolderIsWritable(const std::string& folder) {
    const std::string probe = folder + "writeTest.tst";
    std::error_code ec;
    if (!std::filesystem::exists(probe, ec)) {
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            return false;
        }
        ::close(fd);
        ::unlink(probe.c_str());
        return true;
    }
    std::string unique = probe + ".XXXXXX";
    const int fd = ::mkstemp(unique.data());
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    ::unlink(unique.c_str());
    return true;
}

std::string Unrecognised(const std::string& path) {
    return ReplaceAll(kivra::LoadString(kIdsUnrecognisedFile), "%1", path);
}

// How many frames the source claims: the AVI headers, or for a converted or directly read
// source the probe's length at the rate it is shown with. 0 when unknown.
int StatedFrames(const CAviVideoStream& stream, bool converted, int durationMs) {
    if (!converted && !stream.IsDirect()) {
        return stream.StatedFrameCount();
    }
    const double frames = double(durationMs) / 1000.0 * stream.GetFrameRate();
    return frames > 0 && frames < double(INT32_MAX) ? int(std::lround(frames)) : 0;
}

// Short by more than a few frames and more than a rounding of lengths and rates explains, so
// that whole files never get the message.
bool ReadsWellShort(int readable, int stated) {
    constexpr int kFewFrames = 5;
    const int64_t missing = int64_t(stated) - readable;
    return missing > kFewFrames && missing * 50 > stated;
}

std::string FramesReadNote(int readable, int stated) {
    std::string text = kivra::LoadString(kivra::kIdsFramesReadShort);
    text = ReplaceAll(text, "%1", std::to_string(readable));
    return ReplaceAll(text, "%2", std::to_string(stated));
}

// 2012 with the path and a line saying the picture is too large (3012).
std::string PictureTooLarge(const std::string& path) {
    return Unrecognised(path) + "\n\n" + kivra::LoadString(kIdsPictureTooLarge);
}

}  // namespace

CVfwDoc::CVfwDoc(kivra::DocumentHost& host, const kivra::DocumentSettings& settings,
                 const std::string& settingsFolder)
    : m_host(host), m_settings(settings), m_ffmpeg(settingsFolder) {
    m_codecOption.LoadState(kivra::JoinPath(settingsFolder, kCodecStateFile));
}

CVfwDoc::~CVfwDoc() {
    DeleteContents();
}

void CVfwDoc::DeleteContents() {
    m_pAnnotations.reset();
    m_pStream.reset();
}

bool CVfwDoc::OnNewDocument() {
    DeleteContents();
    m_strPathName.clear();
    m_strSoundPath.clear();
    if (m_closed) {
        m_closed();
    }
    return true;
}

bool CVfwDoc::IsSupportedExtension(const std::string& path) {
    // The patterns as written: a translated description must not change what opens.
    std::string filter = kivra::SourceString(kIdsVideoFileFilter);
    while (!filter.empty() && filter.back() == '|') {
        filter.pop_back();
    }
    const std::string extension = kivra::FileExtension(path);
    for (size_t star = filter.find('*'); star != std::string::npos;
         star = filter.find('*', star + 1)) {
        const size_t end = filter.find(';', star + 1);
        const std::string pattern =
            filter.substr(star + 1, end == std::string::npos ? std::string::npos : end - star - 1);
        if (kivra::EqualsIgnoreCase(pattern, extension)) {
            return true;
        }
    }
    return false;
}

bool CVfwDoc::OnOpenDocument(const std::string& path) {
    if (const std::string refusal = CheckSource(path); !refusal.empty()) {
        m_host.ShowMessage(refusal, kivra::MsgButtons::Ok, kivra::MsgIcon::Warning);
        return false;
    }
    return OpenCheckedSource(path);
}

bool CVfwDoc::OpenCheckedSource(const std::string& path) {
    StartCheckedOpen(path);
    return FinishOpen(path, PrepareSource(path, m_host.Progress(), [this] { OnNewDocument(); }));
}

void CVfwDoc::StartCheckedOpen(const std::string& path) {
    if (!OpensDirectly(path) && SharesTemporaryFiles(path)) {
        OnNewDocument();  // preparing would overwrite what the open video is shown from
    }
}

bool CVfwDoc::FinishOpen(const std::string& path, PreparedSource prepared) {
    if (prepared.cancelled) {
        return false;
    }
    if (!prepared.stream) {
        m_host.ShowMessage(prepared.failure, kivra::MsgButtons::Ok, kivra::MsgIcon::Warning);
        return false;
    }
    CommitSource(path, std::move(prepared));
    return true;
}

std::string CVfwDoc::CheckSource(const std::string& path) const {
    // Only a regular file is read: a FIFO would block the open for ever, a device or a folder
    // is no video. The stat comes first so that no device is ever opened.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !kivra::ReadOnlyFile(path).ok()) {
        return path + "\n\n" + kivra::LoadString(kIdsDocumentOpenFailed);
    }
    if (!IsSupportedExtension(path)) {
        return Unrecognised(path);
    }
    // Reading alone writes nothing; a conversion it falls back to checks again.
    if (!OpensDirectly(path) && !FolderIsWritable(kivra::FolderOf(path))) {
        return kivra::LoadString(kIdsReadOnlyFolder);
    }
    return {};
}

bool CVfwDoc::SharesTemporaryFiles(const std::string& path) const {
    if (!m_pStream || m_strPathName.empty()) {
        return false;
    }
    // Both temporary names come from the source's name without its extension.
    std::error_code ec1;
    std::error_code ec2;
    const auto ours =
        std::filesystem::weakly_canonical(kivra::ReplaceExtension(m_strPathName, kTmpAvi), ec1);
    const auto theirs =
        std::filesystem::weakly_canonical(kivra::ReplaceExtension(path, kTmpAvi), ec2);
    return ec1 || ec2 || ours == theirs;  // when in doubt, the safe answer
}

CVfwDoc::PreparedSource CVfwDoc::PrepareSource(const std::string& path,
                                               kivra::ProgressSink& progress,
                                               const std::function<void()>& closeOpenVideo) {
    PreparedSource prepared;
    // The probe decides whether pixels must be made square or the picture turned upright.
    const kivra::ProbeOutcome probe = kivra::ProbeSource(path, progress);
    if (probe.cancelled) {
        prepared.cancelled = true;
        return prepared;
    }
    const kivra::ProbeResult& probed = probe.result;
    if (probed.opened && !kivra::ProbeSizeAllowed(probed)) {
        prepared.failure = PictureTooLarge(path);
        return prepared;
    }
    const std::chrono::milliseconds duration(probed.durationMs);

    if (OpensDirectly(path)) {
        std::string why;
        PreparedSource direct = PrepareDirect(path, probed, progress, &why);
        if (direct.stream || !direct.failure.empty()) {
            return direct;
        }
        m_ffmpeg.LogDirectFallback("read by conversion: " + why + " \"" + path + "\"");
        if (!FolderIsWritable(kivra::FolderOf(path))) {
            prepared.failure = kivra::LoadString(kIdsReadOnlyFolder);
            return prepared;
        }
        if (SharesTemporaryFiles(path)) {
            closeOpenVideo();  // the conversion would overwrite what the open video is shown from
        }
    }

    auto stream = NewStream(path);
    int result = stream->OpenStream();
    if (result == CAviVideoStream::kPictureTooLarge) {
        prepared.failure = PictureTooLarge(path);  // a conversion would only make the same picture
        return prepared;
    }
    if (result != CAviVideoStream::kOpened || probed.resizeNeeded) {
        kivra::ScratchFile temporaryAvi =
            kivra::ScratchFile::Create(kivra::ReplaceExtension(path, kTmpAvi));
        const bool ran = temporaryAvi.IsOpen();
        const bool converted =
            ran && m_ffmpeg.ConvertVideo(path, temporaryAvi, m_settings.scratchEncoder.videoCodec,
                                         m_settings.scratchEncoder.bitRate,
                                         m_settings.scratchEncoder.qScale,
                                         m_settings.scratchEncoder.limit2G,
                                         kivra::ExtraOptions(probed), progress, duration);
        if (ran && m_ffmpeg.Cancelled()) {
            prepared.cancelled = true;  // the job took its output with it
            return prepared;
        }
        // Read only while the name still leads to what the encoder wrote.
        if (converted && temporaryAvi.IsAtPath()) {
            stream = NewStream(temporaryAvi.Path());
            stream->MarkAsTemporary();  // from here on it leaves with the stream
            temporaryAvi.Keep();
            result = stream->OpenStream();
            prepared.converted = true;
        } else {
            result = CAviVideoStream::kNot24Bit;  // the scratch file goes with its owner
        }
    }
    if (result == CAviVideoStream::kPictureTooLarge) {
        prepared.failure = PictureTooLarge(path);
        return prepared;
    }
    if (result != CAviVideoStream::kOpened) {
        prepared.failure = Unrecognised(path);
        return prepared;
    }

    // The sound is split off from the source itself, whatever happened to the picture.
    if (m_bSplitSound) {
        kivra::ScratchFile wav = kivra::ScratchFile::Create(kivra::ReplaceExtension(path, kTmpWav));
        const bool ran = wav.IsOpen();
        if (ran && m_ffmpeg.SplitSound(path, wav, progress, duration)) {
            prepared.soundPath = wav.Path();
            stream->TakeSoundFile(wav.Path());
            wav.Keep();
        } else if (ran && m_ffmpeg.Cancelled()) {
            prepared.cancelled = true;  // the stream takes a converted picture with it
            return prepared;
        }
    }
    prepared.durationMs = probed.durationMs;
    prepared.stream = std::move(stream);
    return prepared;
}

std::unique_ptr<CAviVideoStream> CVfwDoc::NewStream(const std::string& path) const {
    return std::make_unique<CAviVideoStream>(path, m_settings.slider);
}

bool CVfwDoc::OpensDirectly(const std::string& path) const {
    const std::string extension = kivra::FileExtension(path);
    return m_settings.program.openDirect && !kivra::EqualsIgnoreCase(extension, ".avi") &&
           IsSupportedExtension(path);
}

CVfwDoc::PreparedSource CVfwDoc::PrepareDirect(const std::string& path,
                                               const kivra::ProbeResult& probed,
                                               kivra::ProgressSink& sink, std::string* why) {
    PreparedSource prepared;
    kivra::ConversionGeometry geometry;
    geometry.rotation = probed.rotation;
    geometry.resize = probed.resizeNeeded;
    geometry.width = probed.displayWidth;
    geometry.height = probed.height;
    kivra::ConversionRate(path, &geometry.rateNum, &geometry.rateDen);

    // A long scan shows its progress and can be cancelled, which keeps the open video.
    const auto began = std::chrono::steady_clock::now();
    bool shown = false;
    const kivra::ScanProgress progress = [&](int64_t done, int64_t total) {
        if (!shown) {
            if (std::chrono::steady_clock::now() - began < m_indexingDialogDelay) {
                return true;
            }
            sink.Begin(0, 1000, kivra::LoadString(kivra::kIdsIndexingCaption),
                       kivra::PercentLabel::Shown);
            sink.OfferCancel();
            shown = true;
        }
        if (total > 0) {
            sink.SetPosition(int(std::clamp<int64_t>(done * 1000 / total, 0, 1000)));
        }
        sink.Pump();
        return !sink.CancelRequested();
    };
    kivra::IndexFailure failure = kivra::IndexFailure::None;
    std::shared_ptr<const kivra::FrameIndex> index =
        kivra::BuildFrameIndex(path, geometry, progress, &failure, why);
    if (shown) {
        sink.End();
    }
    if (failure == kivra::IndexFailure::Cancelled) {
        prepared.failure = Unrecognised(path);
        prepared.cancelled = true;
        return prepared;
    }
    std::unique_ptr<kivra::DirectReader> reader =
        index ? kivra::DirectReader::Open(index, why) : nullptr;
    if (!reader) {
        return prepared;
    }
    auto stream = NewStream(path);
    const int result = stream->OpenReader(std::move(reader));
    if (result == CAviVideoStream::kPictureTooLarge) {
        prepared.failure = PictureTooLarge(path);
        return prepared;
    }
    if (result != CAviVideoStream::kOpened) {
        *why = "the first picture cannot be decoded";
        return prepared;
    }
    prepared.durationMs = probed.durationMs;
    prepared.stream = std::move(stream);
    return prepared;
}

void CVfwDoc::CommitSource(const std::string& path, PreparedSource source) {
    using kivra::MsgButtons;
    using kivra::MsgIcon;
    DeleteContents();
    m_pStream = std::move(source.stream);
    m_strSoundPath = std::move(source.soundPath);
    m_pAnnotations = std::make_unique<VideoAnnotations>();
    CLFFManager& markers = m_pAnnotations->m_markers;
    markers.LoadMarkers(m_pStream->MarkerFilePath(), m_settings.markerId.maxId);

    std::error_code exists;
    if (markers.GetLoadState() == CLFFManager::kLoadFailed &&
        std::filesystem::exists(m_pStream->MarkerFilePath(), exists)) {
        m_host.ShowMessage(kivra::LoadString(kIdsMarkerLoadFailed), MsgButtons::Ok,
                           MsgIcon::Warning);
    }
    const int frames = m_pStream->GetFrameCount();
    const std::string opened = m_pStream->FileName();
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(opened, ec);
    // Nothing on the direct route stops at 2 GB.
    const bool sizeWarned = !ec && size >= kTwoGigabytes && !m_pStream->IsDirect();
    if (sizeWarned) {
        char gigabytes[64];
        std::snprintf(gigabytes, sizeof gigabytes, "\n\nSize %.2f GB",
                      double(size) / double(1 << 30));
        m_host.ShowMessage(
            kivra::LoadString(source.converted ? kIdsSizeWarningConverted : kIdsSizeWarningDirect) +
                gigabytes,
            MsgButtons::Ok, MsgIcon::Warning);
    }
    // A conversion that stopped at its size limit was just explained; anything else short of
    // what the source claims is a file cut short.
    if (const int stated = StatedFrames(*m_pStream, source.converted, source.durationMs);
        !(source.converted && sizeWarned) && ReadsWellShort(frames, stated)) {
        m_host.ShowMessage(FramesReadNote(frames, stated), MsgButtons::Ok, MsgIcon::Information);
    }

    m_strPathName = path;
}
