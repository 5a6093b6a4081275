#include "media/trimmed_movie_writer.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "media/avi_movie_output.h"
#include "media/avi_video_stream.h"
#include "media/trimmed_picture.h"
#include "platform/string_table.h"

namespace kivra {

namespace {

constexpr int kStrSaving = 2019;  // "保存処理中..."
// Pictures rendered ahead of the encoder: enough to ride over a slow frame, few enough that
// three 1440x1080 pictures are all the memory it costs.
constexpr size_t kSlots = 3;

// Decodes and renders the frames of a range on a thread of its own, handing finished pictures
// over through a small ring of reusable renderers. Owned by WriteTrimmedMovie for one save;
// its destructor stops and joins the thread on every way out.
class RenderAhead {
public:
    RenderAhead(std::unique_ptr<AviFrameDecoder> decoder, const CAviVideoStream& stream,
                const TrimmedMovieJob& job)
        : decoder_(std::move(decoder)),
          firstSample_(stream.GetStart()),
          trims_(stream.m_trimParam),
          mosaicType_(stream.m_nMosaicType),
          job_(job),
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
    const TrimmedPictureRenderer* Next() {
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
            {
                const std::lock_guard lock(mutex_);
                failed_ = true;
            }
            changed_.notify_all();
        }
    }

    void RenderAll(std::stop_token stop) {
        Dib picture;  // kept between frames: a frame that cannot be decoded repeats the last one
        int shownPicture = -1;
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
            const int sample = frame - firstSample_;
            const int wanted = decoder_->PictureOf(sample);
            if (wanted < 0 || wanted != shownPicture) {
                if (decoder_->GetFrame(sample, picture)) {
                    if (job_.deinterlace) {
                        DoubleRows(picture);
                    }
                    shownPicture = wanted;
                } else {
                    shownPicture = -1;
                }
            }
            slots_[slot].Render(picture.Empty() ? nullptr : &picture, trims_.At(frame),
                                job_.outputWidth, job_.outputHeight, mosaicType_);
            {
                const std::lock_guard lock(mutex_);
                ready_.push_back(slot);
            }
            changed_.notify_all();
        }
    }

    std::unique_ptr<AviFrameDecoder> decoder_;
    const int firstSample_;
    const CTrimmingParam trims_;  // a copy: the worker never reads what the window may change
    const int mosaicType_;
    const TrimmedMovieJob& job_;
    std::vector<TrimmedPictureRenderer> slots_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::deque<size_t> free_;
    std::deque<size_t> ready_;
    size_t current_ = 0;
    bool failed_ = false;
    std::jthread thread_;  // last: started when everything above exists, joined first
};

// Ends the progress display on every way out of the loop.
class ProgressScope {
public:
    explicit ProgressScope(ProgressSink& sink) : sink_(sink) {}
    ~ProgressScope() { sink_.End(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    ProgressSink& sink_;
};

}  // namespace

WriteResult WriteTrimmedMovie(CAviVideoStream& stream, const TrimmedMovieJob& job,
                              ProgressSink& progress, UserMessages& messages, std::string* detail) {
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
    std::unique_ptr<AviFrameDecoder> decoder = stream.OpenDecoder();
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
    progress.Begin(0, count, LoadString(kStrSaving), PercentLabel::Shown);
    const ProgressScope progressScope(progress);
    progress.OfferCancel();

    WriteResult result = WriteResult::Written;
    {
        RenderAhead ahead(std::move(decoder), stream, job);
        for (int i = 0; i < count; ++i) {
            progress.Pump();
            if (progress.CancelRequested()) {
                result = WriteResult::Cancelled;
                break;
            }
            progress.SetPosition(i + 1);
            const TrimmedPictureRenderer* picture = ahead.Next();
            if (picture == nullptr) {
                reason = "out of memory for a picture";
                result = WriteResult::Failed;
                break;
            }
            const bool written = output->WriteFrame(picture->Pixels(), picture->Stride());
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
