#include "reading/frame_prefetcher.h"

#include <algorithm>
#include <climits>
#include <system_error>

namespace kivra {

namespace {

// Two threads, like the showing pipeline: the thread must get through a long group of pictures
// in less time than showing the group takes.
constexpr int kDecoderThreads = 2;
// What this thread's decoder holds besides the pictures it shares with the cache (reference
// pictures, pictures in its threads, its tables), in pictures; counted against the cache.
constexpr int kDecoderPictures = 8;
constexpr int kMinCachePictures = 4 * kDecoderPictures;
// How far below the shown picture decoding ahead reaches at least: enough to even out the
// steps, and no more, as every picture held ahead is a buffer the cache's pool takes from the
// system once.
constexpr int kAheadPictures = 8;
// With pictures in another order than coded, each run also pays for the reference pictures its
// first group's leading pictures need: the reach then moves down in steps this long, so that
// runs over a few groups pay that less often.
constexpr int kReorderedReach = 48;
// Pictures above the shown one kept going backwards, so turning round shows a few at once.
constexpr int kTurnPictures = 4;
// A run the cache cannot hold beside the shown group starts this much ahead of the time it
// takes, so that a busy machine still has it ready when the steps reach it.
constexpr double kEarlyFactor = 1.5;
constexpr double kEarlySeconds = 0.5;
// A pause between steps this long is the user stopping, not the pace of the steps.
constexpr double kPauseSeconds = 0.5;

}  // namespace

FramePrefetcher::FramePrefetcher(std::shared_ptr<const std::vector<int32_t>> keys, MakeDecoder make,
                                 PictureCache& cache)
    : keys_(std::move(keys)), make_(std::move(make)), cache_(cache) {}

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
    cache_.Reserve(0);
}

FramePrefetcher::Request FramePrefetcher::RequestFor(int display, int fillHigh,
                                                     bool reorder) const {
    Request request;
    request.display = display;
    request.fillHigh = fillHigh;
    request.reorder = reorder;
    request.stepSeconds = stepSeconds_;
    // At least the group before the shown one: showing the rest of this group leaves time to
    // decode it. Short groups are taken a few at a time.
    const std::vector<int32_t>& keys = *keys_;
    int low = reorder ? display / kReorderedReach * kReorderedReach - kReorderedReach
                      : display - kAheadPictures;
    if (!keys.empty()) {
        low = std::min(keys[size_t(std::max(KeyIndexFor(display) - 1, 0))],
                       keys[size_t(KeyIndexFor(std::max(low, 0)))]);
    }
    // Never more than the cache holds, so what is kept always leaves room for what is added;
    // the room this thread's decoder takes counts before it is made, or the first run could
    // not store its last pictures and would run again.
    const size_t picture = cache_.PictureBytes();
    if (picture > 0) {
        const size_t reserve = size_t(kDecoderPictures) * picture;
        const size_t room =
            std::min(cache_.Capacity(), cache_.Limit() > reserve ? cache_.Limit() - reserve : 0);
        const size_t fits = std::min<size_t>(room / picture, INT_MAX / 2);
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

void FramePrefetcher::NoteStep(bool stepBack) {
    const auto now = std::chrono::steady_clock::now();
    if (!stepBack) {
        lastStep_ = {};
        stepSeconds_ = 0;
        return;
    }
    if (lastStep_ != std::chrono::steady_clock::time_point{}) {
        const double seconds = std::chrono::duration<double>(now - lastStep_).count();
        // Quicker steps count at once, slower ones slowly: a step that waited for this thread
        // must not make the steps look slow, or the next run starts later still.
        if (seconds < kPauseSeconds) {
            const double weight = seconds < stepSeconds_ ? 0.5 : 0.1;
            stepSeconds_ =
                stepSeconds_ > 0 ? stepSeconds_ + (seconds - stepSeconds_) * weight : seconds;
        }
    }
    lastStep_ = now;
}

void FramePrefetcher::Shown(int display, bool stepBack, bool reorder) {
    NoteStep(stepBack);
    if (!stepBack) {
        if (uiActive_) {
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                uiActive_ = false;
                active_ = false;
                generation_.fetch_add(1);
                cache_.Keep(1, 0);
            }
            wake_.notify_one();
            progress_.notify_all();
        }
        return;
    }
    // A cache too small for a second decoder and a stretch of pictures ahead: steps back decode
    // for themselves, as they would without this thread.
    const size_t picture = cache_.PictureBytes();
    if (picture == 0 || cache_.Limit() / picture < size_t(kMinCachePictures)) {
        return;
    }
    cache_.DropAbove(display + kTurnPictures);
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
        const bool first = !active_ || request_.first;
        Post(request);
        request_.first = first;
        active_ = true;
        uiActive_ = true;
    }
    wake_.notify_one();
}

bool FramePrefetcher::WaitFor(int display) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!active_ || broken_) {
        return false;
    }
    // A run under way toward other pictures is left alone; between runs, the thread's next
    // run is toward this picture.
    const bool covered =
        running_ && display >= runLow_ && display <= runHigh_ && lastOut_ < display;
    if (running_ && !covered) {
        return false;
    }
    // The picture becomes the top of what is kept and filled, so the thread stores it.
    const bool first = request_.first;
    Post(RequestFor(display, display, request_.reorder));
    request_.first = first;
    const uint64_t runsBefore = runs_;
    ++waits_;
    wake_.notify_one();
    progress_.wait(lock, [&] {
        if (stop_ || !active_ || broken_) {
            return true;
        }
        if (!covered && runs_ == runsBefore) {
            return doneGeneration_ == generation_.load();  // it found nothing to do
        }
        return !running_ || lastOut_ >= display || runHigh_ < display;
    });
    return true;
}

void FramePrefetcher::Pause() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        uiActive_ = false;
        active_ = false;
        generation_.fetch_add(1);
        // The cache is emptied next, so the room can go back before the decoder does.
        cache_.Reserve(0);
    }
    wake_.notify_one();
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
        wake_.wait(lock, [&] {
            return stop_ || (!active_ && pipeline_) ||
                   (active_ && doneGeneration_ != generation_.load());
        });
        if (stop_) {
            break;
        }
        if (!active_) {
            // Not going backwards any more: the decoder and the room it took go back.
            lock.unlock();
            decodedBefore_ += pipeline_->Stats().framesDecoded;
            pipeline_.reset();
            lost_.clear();
            cache_.Reserve(0);
            lock.lock();
            progress_.notify_all();
            continue;
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

// Where a run toward target starts. Groups whose leading pictures need the group before them
// decoded anyway are joined into one run with that group when it is wanted too, so its
// reference pictures are not decoded twice; and the first group of the run gets the lead-in
// that makes its own leading pictures decodable when those are wanted.
void FramePrefetcher::Plan(int target, const Request& request, int* fromGroup, bool* withLeading) {
    const std::vector<int32_t>& keys = *keys_;
    *fromGroup = -1;
    *withLeading = false;
    if (keys.empty()) {
        return;
    }
    int from = KeyIndexFor(target);
    // The first run after going backwards starts is kept short: the next picture is wanted now.
    while (!request.first && from > 0 && pipeline_->LeadingCount(from) != 0) {
        const int top = keys[size_t(from)] - 1;  // the last picture of the group before
        if (top < request.low || cache_.Contains(top)) {
            break;
        }
        --from;
        if (keys[size_t(from)] < request.low) {
            break;
        }
    }
    if (from > 0) {
        const int leading = pipeline_->LeadingCount(from);
        const int low = std::max(request.low, int(keys[size_t(from)]));
        const int high = keys[size_t(from)] + leading - 1;
        *withLeading = leading > 0 && low <= high && cache_.HighestMissing(low, high) >= low;
    }
    *fromGroup = from;
}

bool FramePrefetcher::RunOnce(const Request& request, uint64_t generation) {
    if (!pipeline_) {
        pipeline_ = make_(kDecoderThreads, cache_);
        if (!pipeline_) {
            const std::lock_guard<std::mutex> lock(mutex_);
            broken_ = true;
            active_ = false;
            return false;
        }
        cache_.Reserve(kDecoderPictures);
    }
    pipeline_->SetReorders(request.reorder);
    int target = cache_.HighestMissing(request.low, request.fillHigh);
    while (target >= request.low && lost_.count(target) != 0) {
        target = cache_.HighestMissing(request.low, target - 1);
    }
    if (target < request.low) {
        return false;
    }
    if (!pipeline_->CanContinueTo(target)) {
        int fromGroup = -1;
        bool withLeading = false;
        Plan(target, request, &fromGroup, &withLeading);
        if (Premature(target, request, fromGroup)) {
            return false;
        }
        pipeline_->StartRun(target, fromGroup, withLeading);
    }
    const auto started = std::chrono::steady_clock::now();
    const int64_t decodedAtStart = pipeline_->Stats().framesDecoded;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (generation_.load() != generation && !active_) {
            return false;
        }
        running_ = true;
        ++runs_;
        request_.first = false;
        runLow_ = pipeline_->NextDisplay();
        runHigh_ = target;
        lastOut_ = runLow_ - 1;
    }
    bool stored = false;
    bool reached = false;
    for (;;) {
        const int display = pipeline_->Next(&FramePrefetcher::StopCheck, this);
        if (display == GroupDecoder::kRunEnded) {
            break;
        }
        // Lead-in pictures, decoded only as references, count too.
        decoded_.store(decodedBefore_ + pipeline_->Stats().framesDecoded,
                       std::memory_order_relaxed);
        reached = reached || display == target;
        // Pictures below the kept range are stored too while there is room: steps that outpace
        // the run free room faster than it fills it, and otherwise the lowest, stored first, go
        // first again. Only those of the kept range count as stored, or a run that cannot store
        // its target would be started again and again.
        bool wanted;
        bool spare;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            wanted = active_ && display >= request_.low && display <= request_.fillHigh;
            spare = active_ && display < request_.low;
        }
        if ((wanted || spare) &&
            cache_.Insert(display, pipeline_->Picture(), pipeline_->PictureShared(), false)) {
            stored = stored || wanted;
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
    const int64_t decodedInRun = pipeline_->Stats().framesDecoded - decodedAtStart;
    if (decodedInRun >= 4) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() /
            double(decodedInRun);
        decodeSeconds_ = decodeSeconds_ > 0 ? (decodeSeconds_ + seconds) / 2 : seconds;
    }
    bool passed;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
        passed = lastOut_ >= target;
    }
    progress_.notify_all();
    // A picture the decoder skipped or lost (a damaged file) is not tried again and again.
    if (passed && !reached) {
        lost_.insert(target);
    }
    return stored;
}

// A group longer than the cache holds cannot be kept whole: a run keeps only its last pictures
// below the shown one and decodes the rest for nothing. Started for every step back, such runs
// would decode the start of the group once per step; so one waits until it can fill half the
// cache, or until the shown picture is at the edge of what is kept (then low is far below the
// target). A group the cache holds whole waits until all of it is wanted, unless the steps
// would then reach it before it is done: playing backwards through long groups, it starts
// early and its lowest pictures are decoded once more later, instead of the steps pausing at
// every group.
bool FramePrefetcher::Premature(int target, const Request& request, int fromGroup) const {
    const std::vector<int32_t>& keys = *keys_;
    const size_t picture = cache_.PictureBytes();
    if (keys.empty() || picture == 0) {
        return false;
    }
    const int group = fromGroup >= 0 ? fromGroup : KeyIndexFor(target);
    if (keys[size_t(group)] >= request.low) {
        return false;  // the run keeps all it decodes of the wanted pictures
    }
    const size_t fits = std::min<size_t>(cache_.Capacity() / picture, INT_MAX / 2);
    if (size_t(target - keys[size_t(group)]) + 3 <= fits) {
        // Only the run from the group's top starts early; the rest of the group waits.
        const bool top = size_t(group) + 1 < keys.size() && target == keys[size_t(group) + 1] - 1;
        return !(top && DueNow(target, request, keys[size_t(group)]));
    }
    return size_t(target - request.low + 1) < fits / 2;
}

bool FramePrefetcher::DueNow(int target, const Request& request, int from) const {
    if (request.stepSeconds <= 0) {
        return false;  // a single step back so far: no pace to keep up with
    }
    if (decodeSeconds_ <= 0) {
        return true;  // no run timed yet
    }
    const double left = double(request.display - target) * request.stepSeconds;
    const double work = double(target - from + 1) * decodeSeconds_;
    return left <= work * kEarlyFactor + kEarlySeconds;
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

int FramePrefetcher::KeyIndexFor(int display) const {
    return GroupOf(*keys_, display);
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
