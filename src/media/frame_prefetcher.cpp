#include "media/frame_prefetcher.h"

#include <algorithm>
#include <climits>
#include <system_error>

namespace kivra {

namespace {

// Two threads, like the showing pipeline: the thread must get through a long group of pictures
// in less time than showing the group takes.
constexpr int kDecoderThreads = 2;
// Codecs with short groups (every picture a key frame) are still decoded this far ahead.
constexpr int kMinAhead = 8;

}  // namespace

FramePrefetcher::FramePrefetcher(std::shared_ptr<const ChunkTable> table, PictureCache& cache)
    : table_(std::move(table)), cache_(cache) {}

FramePrefetcher::~FramePrefetcher() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    progress_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

FramePrefetcher::Request FramePrefetcher::RequestFor(int display, int fillHigh,
                                                     bool reorder) const {
    Request request;
    request.display = display;
    request.fillHigh = fillHigh;
    request.reorder = reorder;
    // The group before the shown one: showing the rest of this group leaves time to decode it.
    const std::vector<int32_t>& keys = table_->keyOrdinals;
    int low = display;
    if (!keys.empty()) {
        low = keys[size_t(std::max(table_->KeyIndexFor(display) - 1, 0))];
    }
    low = std::min(low, display - kMinAhead);
    // Never more than the cache holds, so what is kept always leaves room for what is added.
    const size_t picture = cache_.PictureBytes();
    if (picture > 0) {
        const size_t fits = std::min<size_t>(cache_.Limit() / picture, INT_MAX / 2);
        low = std::max(low, display - int(fits) + 2);
    }
    request.low = std::max(low, 0);
    return request;
}

void FramePrefetcher::Post(const Request& request) {
    request_ = request;
    generation_.fetch_add(1);
    cache_.Keep(request.low, request.display);
}

void FramePrefetcher::Shown(int display, bool stepBack, bool reorder) {
    if (!stepBack) {
        if (uiActive_) {
            const std::lock_guard<std::mutex> lock(mutex_);
            uiActive_ = false;
            active_ = false;
            generation_.fetch_add(1);
            cache_.Keep(1, 0);
            progress_.notify_all();
        }
        return;
    }
    if (cache_.Limit() == 0) {
        return;
    }
    const Request request = RequestFor(display, display - 1, reorder);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (broken_) {
            return;
        }
        if (!thread_.joinable()) {
            try {
                thread_ = std::thread(&FramePrefetcher::Run, this);
            } catch (const std::system_error&) {
                broken_ = true;  // steps back still work, decoding on the showing thread
                return;
            }
        }
        Post(request);
        active_ = true;
        uiActive_ = true;
    }
    wake_.notify_one();
}

bool FramePrefetcher::WaitFor(int display) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!active_ || !running_ || display < runLow_ || display > runHigh_ || lastOut_ >= display) {
        return false;
    }
    // The picture becomes the top of what is kept and filled, so the thread stores it.
    Post(RequestFor(display, display, request_.reorder));
    ++waits_;
    progress_.wait(lock,
                   [&] { return stop_ || !running_ || lastOut_ >= display || runHigh_ < display; });
    return true;
}

void FramePrefetcher::Pause() {
    const std::lock_guard<std::mutex> lock(mutex_);
    uiActive_ = false;
    active_ = false;
    generation_.fetch_add(1);
    progress_.notify_all();
}

void FramePrefetcher::WaitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    progress_.wait(lock, [&] {
        return broken_ || stop_ || !thread_.joinable() ||
               (!running_ && (!active_ || doneGeneration_ == generation_.load()));
    });
}

void FramePrefetcher::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock,
                   [&] { return stop_ || (active_ && doneGeneration_ != generation_.load()); });
        if (stop_) {
            break;
        }
        const Request request = request_;
        const uint64_t generation = generation_.load();
        seenGeneration_ = generation;
        lock.unlock();
        const bool stored = RunOnce(request, generation);
        lock.lock();
        // A run that stored nothing (nothing missing, or nothing decodable) ends the work for
        // this request instead of trying the same pictures again.
        if (!stored && generation_.load() == generation) {
            doneGeneration_ = generation;
        }
        progress_.notify_all();
        if (broken_) {
            break;
        }
    }
    running_ = false;
    progress_.notify_all();
}

// Where a run toward target starts: a leading picture needs the group before it decoded
// anyway, so when that group is wanted too the run shows it as well; and a group whose own
// leading pictures are wanted gets the lead-in that makes them decodable in the same run.
bool FramePrefetcher::Planned(int target, const Request& request, int* fromGroup,
                              bool* withLeading) {
    const std::vector<int32_t>& keys = table_->keyOrdinals;
    *fromGroup = -1;
    *withLeading = false;
    if (keys.empty()) {
        return false;
    }
    const int group = table_->KeyIndexFor(target);
    int from = group;
    if (group > 0 && pipeline_->NeedsPreviousGroup(target)) {
        const int low = std::max(request.low, int(keys[size_t(group - 1)]));
        const int high = keys[size_t(group)] - 1;
        if (low <= high && cache_.HighestMissing(low, high) >= low) {
            from = group - 1;
        }
    }
    if (from > 0) {
        const int leading = pipeline_->LeadingCount(from);
        const int low = std::max(request.low, int(keys[size_t(from)]));
        const int high = keys[size_t(from)] + leading - 1;
        *withLeading = leading > 0 && low <= high && cache_.HighestMissing(low, high) >= low;
    }
    *fromGroup = from;
    return true;
}

bool FramePrefetcher::RunOnce(const Request& request, uint64_t generation) {
    if (!pipeline_) {
        pipeline_ = DecodePipeline::Create(table_, kDecoderThreads);
        if (!pipeline_) {
            const std::lock_guard<std::mutex> lock(mutex_);
            broken_ = true;
            active_ = false;
            return false;
        }
    }
    pipeline_->SetReorders(request.reorder);
    const int target = cache_.HighestMissing(request.low, request.fillHigh);
    if (target < request.low) {
        return false;
    }
    if (!pipeline_->CanContinueTo(target)) {
        int fromGroup = -1;
        bool withLeading = false;
        Planned(target, request, &fromGroup, &withLeading);
        pipeline_->StartRun(target, fromGroup, withLeading);
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (generation_.load() != generation && !active_) {
            return false;
        }
        running_ = true;
        runLow_ = pipeline_->NextDisplay();
        runHigh_ = target;
        lastOut_ = runLow_ - 1;
    }
    bool stored = false;
    for (;;) {
        const int display = pipeline_->Next(&FramePrefetcher::StopCheck, this);
        if (display == DecodePipeline::kRunEnded) {
            break;
        }
        bool wanted;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            wanted = active_ && display >= request_.low && display <= request_.fillHigh;
        }
        if (wanted && cache_.Insert(display, pipeline_->Picture(), false)) {
            stored = true;
            prefetched_.fetch_add(1, std::memory_order_relaxed);
        }
        pipeline_->ReleasePicture();
        bool done;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            lastOut_ = display;
            done = display >= runHigh_ || !active_;
        }
        progress_.notify_all();
        if (done) {
            break;
        }
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
    }
    progress_.notify_all();
    return stored;
}

// With a new request, the run goes on only as far as it still fills what is wanted.
bool FramePrefetcher::StillWanted() {
    const std::lock_guard<std::mutex> lock(mutex_);
    seenGeneration_ = generation_.load();
    if (!active_) {
        return false;
    }
    runHigh_ = std::min(runHigh_, request_.fillHigh);
    return runHigh_ >= std::max(request_.low, lastOut_ + 1);
}

bool FramePrefetcher::StopCheck(void* self) {
    auto* prefetcher = static_cast<FramePrefetcher*>(self);
    if (prefetcher->stop_) {
        return true;
    }
    if (prefetcher->generation_.load() == prefetcher->seenGeneration_) {
        return false;
    }
    return !prefetcher->StillWanted();
}

}  // namespace kivra
