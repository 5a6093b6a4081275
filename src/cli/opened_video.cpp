#include "opened_video.h"

#include <cerrno>
#include <cstdlib>
#include <ostream>

#include "platform/settings_folder.h"
#include "sync/linked_cursors.h"

namespace kivra::cli {

MsgAnswer HeadlessHost::ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon) {
    err_ << text << "\n";
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
}

OpenedVideo::OpenedVideo(const std::string& path, std::ostream& err, VideoOpening opening,
                         bool convert)
    : settings_(std::string()),
      host_(err),
      video_(host_,
             {settings_.ScratchEncoder(), settings_.Program(), settings_.MarkerId(),
              settings_.Slider()},
             settings_.Trimming(), UserSettingsFolder()),
      actions_(video_, {settings_.Trimming(), settings_.MarkerId(), settings_.Program()}, host_) {
    settings_.Program().openDirect = !convert;
    if (opening == VideoOpening::kMarkersOnly) {
        actions_.OpenVideoMarkersOnly(path);
        return;
    }
    video_.Document().SetSplitSound(opening == VideoOpening::kFull);
    actions_.OpenVideo(path);
}

bool OpenedVideo::MarkerFileLoaded() const {
    return video_.Annotations() != nullptr &&
           video_.Annotations()->m_markers.GetLoadState() == CLFFManager::kLoaded;
}

VideoClock OpenedVideo::Clock() const {
    const CAviVideoStream* stream = Stream();
    return stream == nullptr ? VideoClock{} : ClockOf(*stream);
}

bool RefusedOutput(const OpenedVideo& video, const std::string& output, std::ostream& err) {
    const OwnFile which = video.OwnFiles().Which(output);
    if (which == OwnFile::kNone) {
        return false;
    }
    err << OwnFileRefusalText(which) << "\n" << output << "\n";
    return true;
}

bool ParseInt(const std::string& text, long long* value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    *value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end != nullptr && *end == '\0';
}

}  // namespace kivra::cli
