#include "media/vfw_doc.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "convert/probe_options.h"
#include "platform/path_util.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "settings/inifile_manager.h"

namespace {

using kivra::kIdsDocumentOpenFailed;
using kivra::kIdsMarkerLoadFailed;
using kivra::kIdsPictureTooLarge;
using kivra::kIdsReadOnlyFolder;
using kivra::kIdsSaveMarkersQuestion;
using kivra::kIdsSizeWarningConverted;
using kivra::kIdsSizeWarningDirect;
using kivra::kIdsUnrecognisedFile;
using kivra::kIdsVideoFileFilter;

constexpr char kCodecStateFile[] = "Kivra.cdc";
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

}  // namespace

CVfwDoc::CVfwDoc(kivra::DocumentHost& host, const CInifileManager* settings,
                 const std::string& settingsFolder)
    : m_host(host), m_pSettings(settings), m_ffmpeg(settingsFolder) {
    m_codecOption.LoadState(kivra::JoinPath(settingsFolder, kCodecStateFile));
}

CVfwDoc::~CVfwDoc() {
    DeleteContents();
}

void CVfwDoc::DeleteContents() {
    m_pStream.reset();
}

bool CVfwDoc::OnNewDocument() {
    DeleteContents();
    m_strPathName.clear();
    m_strSoundPath.clear();
    if (m_host.HasMainFrame()) {
        m_host.UpdateRateStatus();
        m_host.SetViewMode(kivra::kNoVideo);
    }
    return true;
}

bool CVfwDoc::IsSupportedExtension(const std::string& path) {
    std::string filter = kivra::LoadString(kIdsVideoFileFilter);
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
    using kivra::MsgAnswer;
    using kivra::MsgButtons;
    using kivra::MsgIcon;
    if (!m_host.HasMainFrame()) {
        return false;
    }
    if (m_host.IsMarkerIdDialogVisible()) {
        m_host.ToggleMarkerIdDialog();
    }
    if (MarkersModified()) {
        const MsgAnswer answer = m_host.ShowMessage(kivra::LoadString(kIdsSaveMarkersQuestion),
                                                    MsgButtons::YesNoCancel, MsgIcon::Question);
        if (answer == MsgAnswer::Cancel) {
            return false;
        }
        if (answer == MsgAnswer::Yes) {
            m_host.SaveMarkers();
        }
    }

    // The file must be readable before the open video is given up.
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr) {
        m_host.ShowMessage(path + "\n\n" + kivra::LoadString(kIdsDocumentOpenFailed),
                           MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    std::fclose(probe);
    DeleteContents();
    m_strSoundPath.clear();

    m_host.StopPlayback();

    if (!IsSupportedExtension(path)) {
        return Unrecognised(path);
    }
    if (!FolderIsWritable(kivra::FolderOf(path))) {
        m_host.ShowMessage(kivra::LoadString(kIdsReadOnlyFolder), MsgButtons::Ok, MsgIcon::Warning);
        m_host.CloseCommand();
        return false;
    }

    // The probe decides whether pixels must be made square or the picture turned upright.
    const kivra::ProbeResult probed = kivra::ProbeSource(path);
    const std::string extraOptions = kivra::ExtraOptions(probed);
    if (probed.opened && !kivra::ProbeSizeAllowed(probed)) {
        return PictureTooLarge(path);
    }

    m_pStream = std::make_unique<CAviVideoStream>(path, m_pSettings);
    int result = m_pStream->OpenStream();
    if (result == CAviVideoStream::kPictureTooLarge) {
        return PictureTooLarge(path);  // a conversion would only make the same picture
    }
    const std::string temporaryAvi = kivra::ReplaceExtension(path, ".$tmp$.avi");
    const std::string temporaryWav = kivra::ReplaceExtension(path, ".$tmp$.wav");
    bool converted = false;
    if (result != CAviVideoStream::kOpened || probed.resizeNeeded) {
        const CInifileManager defaults{std::string()};
        const CInifileManager& settings = m_pSettings != nullptr ? *m_pSettings : defaults;
        if (m_ffmpeg.ConvertVideo(path, temporaryAvi, settings.TmpFile_VCodec,
                                  settings.TmpFile_BitRate, settings.TmpFile_QScale,
                                  settings.TmpFile_2GLimit, extraOptions, m_host.Progress())) {
            m_pStream = std::make_unique<CAviVideoStream>(temporaryAvi, m_pSettings);
            m_pStream->MarkAsTemporary();
            result = m_pStream->OpenStream();
            converted = true;
        } else {
            result = CAviVideoStream::kNot24Bit;
            std::error_code ignored;
            std::filesystem::remove(temporaryAvi, ignored);
        }
    }
    // The sound is split off from the source itself, whatever happened to the picture.
    if (m_bSplitSound && m_ffmpeg.SplitSound(path, temporaryWav, m_host.Progress())) {
        m_strSoundPath = temporaryWav;
    } else {
        std::error_code ignored;
        std::filesystem::remove(temporaryWav, ignored);
        m_strSoundPath.clear();
    }
    if (result == CAviVideoStream::kPictureTooLarge) {
        return PictureTooLarge(path);
    }
    if (result != CAviVideoStream::kOpened) {
        return Unrecognised(path);
    }
    std::error_code exists;
    if (m_pStream->m_markers.GetLoadState() == CLFFManager::kLoadFailed &&
        std::filesystem::exists(m_pStream->MarkerFilePath(), exists)) {
        m_host.ShowMessage(kivra::LoadString(kIdsMarkerLoadFailed), MsgButtons::Ok,
                           MsgIcon::Warning);
    }

    const std::string opened = m_pStream->FileName();
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(opened, ec);
    if (!ec && size >= kTwoGigabytes) {
        char gigabytes[64];
        std::snprintf(gigabytes, sizeof gigabytes, "\n\nSize %.2f GB",
                      double(size) / double(1 << 30));
        m_host.ShowMessage(
            kivra::LoadString(converted ? kIdsSizeWarningConverted : kIdsSizeWarningDirect) +
                gigabytes,
            MsgButtons::Ok, MsgIcon::Warning);
    }

    m_strPathName = path;
    m_host.UpdateAllViews();
    const int frames = m_pStream->GetFrameCount();
    m_host.ResetTrackbar(frames);
    m_host.ResetViewsAndModes(frames);
    m_pStream->m_nMosaicType = m_pSettings != nullptr ? m_pSettings->MosaicRectType : 1;
    m_host.PostFirstFrameCommand();
    if (m_pStream->m_markers.GetLoadState() == CLFFManager::kLoaded) {
        m_host.RestoreTrimmingState(m_pStream->m_markers);
    }
    return true;
}

bool CVfwDoc::MarkersModified() const {
    return m_pStream && m_pStream->HasStream() && m_pStream->m_markers.IsModified();
}

bool CVfwDoc::Unrecognised(const std::string& path) {
    return Refuse(ReplaceAll(kivra::LoadString(kIdsUnrecognisedFile), "%1", path));
}

bool CVfwDoc::PictureTooLarge(const std::string& path) {
    return Refuse(ReplaceAll(kivra::LoadString(kIdsUnrecognisedFile), "%1", path) + "\n\n" +
                  kivra::LoadString(kIdsPictureTooLarge));
}

bool CVfwDoc::Refuse(const std::string& message) {
    m_host.ShowMessage(message, kivra::MsgButtons::Ok, kivra::MsgIcon::Warning);
    m_host.CloseCommand();
    return false;
}
