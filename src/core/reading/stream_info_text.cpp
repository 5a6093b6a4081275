#include "reading/stream_info_text.h"

#include <cstdarg>
#include <cstdio>

#include "reading/avi_video_stream.h"

namespace kivra {

namespace {

std::string Format(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

}  // namespace

std::vector<std::string> StreamInfoLines(const CAviVideoStream* stream, int frame) {
    const bool open = stream != nullptr && stream->HasStream();
    const int start = open ? stream->GetStart() : -1;
    const int end = open ? stream->GetEnd() : -1;
    const int length = stream != nullptr ? stream->GetFrameCount() : 0;
    const double rate = stream != nullptr ? stream->GetFrameRate() : 0.0;
    const long long total = open ? (long long)stream->SampleToTime(length) : 0;
    const int current = open ? frame : -1;
    const long long currentMs = open ? (long long)stream->SampleToTime(current) : -1;
    const int nearest = open ? stream->FindSample(current, FindFlags::PrevKey) : -1;
    const int prevKey = open ? stream->FindSample(current - 1, FindFlags::PrevKey) : -1;
    const int nextKey = open ? stream->FindSample(current + 1, FindFlags::NextKey) : -1;
    const std::string empty;
    return {
        Format("Start     : %5d", start),
        Format("End       : %5d", end),
        Format("Length    : %5d", length),
        Format("FrameRate : %3.2f fps", rate),
        Format("TotalTime : %5lld msec", total),
        "",
        Format("Frame     : %3d(%5lld msec)", current, currentMs),
        Format("IsKey     : %s", open && nearest == current ? "TRUE" : "FALSE"),
        Format("PrevKey   : %3d", prevKey),
        Format("NextKey   : %3d", nextKey),
        Format("NearestKey: %3d", nearest),
        "",
        "FCC   : " + (stream != nullptr ? stream->FourCCText() : empty),
        "Codec : " + (stream != nullptr ? stream->CodecName() : empty),
        "Desc..: " + (stream != nullptr ? stream->CodecDescription() : empty),
        "Driver: " + (stream != nullptr ? stream->CodecDriver() : empty),
        "",
        Format("ImageSize:(%4d*%4d)", stream != nullptr ? int(stream->FileInfo().dwWidth) : 0,
               stream != nullptr ? int(stream->FileInfo().dwHeight) : 0),
    };
}

}  // namespace kivra
