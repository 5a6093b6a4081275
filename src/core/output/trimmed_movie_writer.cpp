#include "output/trimmed_movie_writer.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "markers/video_annotations.h"
#include "output/avi_movie_output.h"
#include "picture/picture_converter.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "rendering/trimmed_picture.h"
#include "rendering/trimmed_planes.h"

namespace kivra {

namespace {

// Pictures rendered ahead of the encoder: enough to ride over a slow frame, few enough that
// three 1440x1080 pictures are all the memory it costs.
constexpr size_t kSlots = 3;

// Whether a decoded picture can go to the encoder plane by plane and come out as the pictures
// made through RGB do: those are read with the BT.709 matrix when the frame says so and written
// with BT.601, so such frames take the way through RGB.
bool PlanesFit(const AVFrame& picture) {
    return IsPlanarYuv8(picture.format) && picture.colorspace != AVCOL_SPC_BT709;
}

// One finished picture: in the encoder's own format when `planar`, else as BGRx.
struct RenderedPicture {
    TrimmedPictureRenderer rgb;
    AvFramePtr frame = AvFramePtr(av_frame_alloc());
    bool planar = false;
};

// Decodes and renders the frames of a range on a thread of its own, handing finished pictures
// over through a small ring of reusable ones. When the encoder takes planar YUV and nothing is
// deinterlaced, pictures are made in its format straight from the decoded planes; any frame
// that cannot be goes through RGB. Owned by WriteTrimmedMovie for one save; its destructor
// stops and joins the thread on every way out.
class RenderAhead {
public:
    RenderAhead(std::unique_ptr<VideoReader> decoder, const CAviVideoStream& stream,
                const VideoAnnotations& annotations, const TrimmedMovieJob& job,
                const AviMovieOutput& output)
        : decoder_(std::move(decoder)),
          firstSample_(stream.GetStart()),
          trims_(annotations.m_trimParam),
          mosaicType_(job.mosaicType),
          job_(job),
          output_(output),
          planar_(!job.deinterlace && IsPlanarYuv8(output.InputFormat())),
          slots_(kSlots) {
        for (size_t i = 0; i < kSlots; ++i) {
            free_.push_back(i);
        }
        thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
    }
    ~RenderAhead() {
        thread_.request_stop();
        changed_.notify_all();
        // jthread joins here.
    }
    RenderAhead(const RenderAhead&) = delete;
    RenderAhead& operator=(const RenderAhead&) = delete;

    // The picture of the next frame in order, valid until Release; null when rendering failed.
    RenderedPicture* Next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !ready_.empty() || failed_; });
        if (ready_.empty()) {
            return nullptr;
        }
        current_ = ready_.front();
        ready_.pop_front();
        return &slots_[current_];
    }
    void Release() {
        {
            const std::lock_guard lock(mutex_);
            free_.push_back(current_);
        }
        changed_.notify_all();
    }

private:
    void Run(std::stop_token stop) {
        try {
            RenderAll(stop);
        } catch (const std::exception&) {  // out of memory for a picture
            Fail();
        }
    }

    void Fail() {
        {
            const std::lock_guard lock(mutex_);
            failed_ = true;
        }
        changed_.notify_all();
    }

    void RenderAll(std::stop_token stop) {
        for (int frame = job_.rangeStart; frame <= job_.rangeEnd; ++frame) {
            size_t slot = 0;
            {
                std::unique_lock lock(mutex_);
                if (!changed_.wait(lock, stop, [&] { return !free_.empty(); })) {
                    return;
                }
                slot = free_.front();
                free_.pop_front();
            }
            if (!Render(frame, slots_[slot])) {
                Fail();
                return;
            }
            {
                const std::lock_guard lock(mutex_);
                ready_.push_back(slot);
            }
            changed_.notify_all();
        }
    }

    bool Render(int frame, RenderedPicture& into) {
        const int sample = frame - firstSample_;
        const int wanted = decoder_->PictureOf(sample);
        if (wanted < 0 || wanted != shownPicture_) {
            const AVFrame* decoded = decoder_->GetPicture(sample);
            if (decoded != nullptr) {
                av_frame_unref(held_.get());
                if (av_frame_ref(held_.get(), decoded) < 0) {
                    return false;
                }
                shownPicture_ = wanted;
                picture_ = Dib{};  // made again from the new picture when needed
            } else {
                shownPicture_ = -1;
            }
        }
        // A frame that cannot be decoded repeats the last picture.
        const AVFrame* source = held_->buf[0] != nullptr ? held_.get() : nullptr;
        if (source == nullptr || !planar_ || !PlanesFit(*source)) {
            if (source != nullptr && picture_.Empty()) {
                if (!ToDib(*source, picture_)) {
                    picture_ = Dib{};
                } else if (job_.deinterlace) {
                    DoubleRows(picture_);
                }
            }
            into.rgb.Render(picture_.Empty() ? nullptr : &picture_, trims_.At(frame),
                            job_.outputWidth, job_.outputHeight, mosaicType_);
            into.planar = false;
            return true;
        }
        // The encoder may still hold the last picture written from this one.
        AVFrame& out = *into.frame;
        if ((out.buf[0] == nullptr || !av_frame_is_writable(&out)) && !output_.LendFrame(out)) {
            return false;
        }
        into.planar = planes_.Render(source, trims_.At(frame), mosaicType_, out);
        return into.planar;
    }

    bool ToDib(const AVFrame& source, Dib& into) {
        into.Reset24(source.width, source.height);
        return converter_.ToBottomUpBgr24(source, into.bits.data(), into.bits.size());
    }

    std::unique_ptr<VideoReader> decoder_;
    const int firstSample_;
    const CTrimmingParam trims_;  // a copy: the worker never reads what the window may change
    const int mosaicType_;
    const TrimmedMovieJob& job_;
    const AviMovieOutput& output_;
    const bool planar_;
    std::vector<RenderedPicture> slots_;
    // The worker's own: the last picture decoded, kept for frames that repeat it.
    Dib picture_;
    AvFramePtr held_ = AvFramePtr(av_frame_alloc());
    int shownPicture_ = -1;
    PictureConverter converter_;
    TrimmedPlanesRenderer planes_;
    std::mutex mutex_;  // guards free_, ready_, current_ and failed_: slots change hands under it
    std::condition_variable_any changed_;
    std::deque<size_t> free_;
    std::deque<size_t> ready_;
    size_t current_ = 0;
    bool failed_ = false;
    std::jthread thread_;  // last: started when everything above exists, joined first
};

}  // namespace

WriteResult WriteTrimmedMovie(CAviVideoStream& stream, const VideoAnnotations& annotations,
                              const TrimmedMovieJob& job, ProgressSink& progress,
                              UserMessages& messages, std::string* detail) {
    std::string ignored;
    std::string& reason = detail != nullptr ? *detail : ignored;
    reason.clear();
    // Nothing sensible can be written for these, and nothing is created.
    if (!stream.HasStream() || job.outputWidth <= 0 || job.outputHeight <= 0 ||
        job.rangeStart < stream.GetStart() || job.rangeEnd > stream.GetEnd() ||
        job.rangeEnd < job.rangeStart) {
        reason = "no video, an empty output size or a play range outside the video";
        return WriteResult::Failed;
    }
    std::unique_ptr<VideoReader> decoder = stream.OpenDecoder();
    if (!decoder) {
        reason = "cannot open a decoder for the video";
        return WriteResult::Failed;
    }
    decoder->SetCacheLimit(0);  // forward only: nothing is ever looked at twice

    const AviStreamHeader& info = stream.StreamInfo();
    const MovieFormat format{job.outputWidth, job.outputHeight, info.rate, info.scale};
    MovieCreateError error = MovieCreateError::None;
    std::unique_ptr<AviMovieOutput> output =
        AviMovieOutput::Create(job.outputPath, format, job.compress, &error, &reason);
    if (!output) {
        messages.ShowMessage(CreateErrorText(error), MsgButtons::Ok, MsgIcon::Warning);
        return WriteResult::CreateFailed;
    }

    const int count = job.rangeEnd - job.rangeStart + 1;
    progress.Begin(0, count, LoadString(kIdsSavingCaption), PercentLabel::Shown);
    const ProgressScope progressScope(progress);
    progress.OfferCancel();

    WriteResult result = WriteResult::Written;
    {
        RenderAhead ahead(std::move(decoder), stream, annotations, job, *output);
        for (int i = 0; i < count; ++i) {
            progress.Pump();
            if (progress.CancelRequested()) {
                result = WriteResult::Cancelled;
                break;
            }
            progress.SetPosition(i + 1);
            RenderedPicture* picture = ahead.Next();
            if (picture == nullptr) {
                reason = "out of memory for a picture";
                result = WriteResult::Failed;
                break;
            }
            const bool written =
                picture->planar ? output->WriteFrame(*picture->frame)
                                : output->WriteFrame(picture->rgb.Pixels(), picture->rgb.Stride());
            ahead.Release();
            if (!written) {
                reason = output->ErrorDetail();
                result = WriteResult::Failed;
                break;
            }
        }
    }
    if (result == WriteResult::Written && !output->Finish()) {
        reason = output->ErrorDetail();
        result = WriteResult::Failed;
    }
    output.reset();  // an unfinished output removes its own file, and only that
    return result;
}

}  // namespace kivra
