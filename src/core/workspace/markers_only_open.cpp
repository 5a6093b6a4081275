#include "workspace/markers_only_open.h"

#include <memory>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "convert/encoder_command.h"
#include "convert/probe_options.h"
#include "direct/frame_index.h"
#include "platform/path_util.h"
#include "reading/index_only_reader.h"
#include "settings/inifile_manager.h"

namespace kivra {

namespace {

// The direct route's numbering: the frame index the reader would decode by.
std::unique_ptr<CAviVideoStream> IndexDirect(const std::string& path, const ProbeResult& probed,
                                             ProgressSink& progress, bool* cancelled) {
    ConversionGeometry geometry;
    geometry.rotation = probed.rotation;
    geometry.resize = probed.resizeNeeded;
    geometry.width = probed.displayWidth;
    geometry.height = probed.height;
    ConversionRate(path, &geometry.rateNum, &geometry.rateDen);
    const ScanProgress scan = [&progress](int64_t, int64_t) {
        progress.Pump();
        return !progress.CancelRequested();
    };
    IndexFailure failure = IndexFailure::None;
    std::string why;
    const std::shared_ptr<const FrameIndex> index =
        BuildFrameIndex(path, geometry, scan, &failure, &why);
    *cancelled = failure == IndexFailure::Cancelled;
    if (!index || !index->codecpar) {
        return nullptr;
    }
    auto numbering = std::make_unique<IndexOnlyReader>(
        index->pictureAtSample, index->keySamples,
        ReaderFormat{index->width, index->height, index->rate, index->scale},
        avcodec_get_name(index->codecpar->codec_id));
    // No picture is decoded, so no cache bound is read: the default settings do.
    auto stream = std::make_unique<CAviVideoStream>(path);
    if (stream->OpenReaderIndexOnly(std::move(numbering)) != CAviVideoStream::kOpened) {
        return nullptr;
    }
    return stream;
}

}  // namespace

std::optional<CVfwDoc::PreparedSource> PrepareMarkersOnly(const std::string& path,
                                                          const ProgramSettings& program,
                                                          ProgressSink& progress) {
    CVfwDoc::PreparedSource prepared;
    // The probe says whether the picture the markers were placed on is the file's own.
    const ProbeOutcome probe = ProbeSource(path, progress);
    if (probe.cancelled) {
        prepared.cancelled = true;
        return prepared;
    }
    const ProbeResult& probed = probe.result;
    if (probed.opened && !ProbeSizeAllowed(probed)) {
        return std::nullopt;
    }
    const bool avi = EqualsIgnoreCase(FileExtension(path), ".avi");
    if (program.openDirect && !avi && CVfwDoc::IsSupportedExtension(path)) {
        bool cancelled = false;
        prepared.stream = IndexDirect(path, probed, progress, &cancelled);
        prepared.cancelled = cancelled;
        if (!prepared.stream && !cancelled) {
            return std::nullopt;
        }
    } else {
        // A converted source's markers belong to the conversion's temporary file.
        if (!avi || probed.resizeNeeded) {
            return std::nullopt;
        }
        prepared.stream = std::make_unique<CAviVideoStream>(path);
        if (prepared.stream->OpenIndexOnly() != CAviVideoStream::kOpened) {
            return std::nullopt;
        }
    }
    prepared.durationMs = probed.durationMs;
    return prepared;
}

}  // namespace kivra
