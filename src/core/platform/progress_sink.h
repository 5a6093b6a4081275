#pragma once
// How a long job of the core (writing a movie, running the encoder) shows its progress and
// hears a request to stop, without knowing about windows. The GUI runs such jobs on a worker
// and hands the reports to its progress dialog; the command-line tool uses NullProgressSink.
#include <string>

namespace kivra {

enum class PercentLabel { Shown, Hidden };

// One job at a time: Begin, then any number of SetCaption/SetPosition/Pump, then End.
// The job's loop calls Pump at each point where it could stop (every frame, every wait).
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // Shows progress over lower .. upper at position `lower`; the caption replaces the title
    // (an empty caption gives an empty title). A Begin while a job is shown ends that one.
    virtual void Begin(int lower, int upper, const std::string& caption, PercentLabel label) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Moves the bar and the percent figure.
    virtual void SetPosition(int position) = 0;
    // A point where the job checks in; a sink that has nothing to do there ignores it.
    virtual void Pump() {}
    virtual void End() = 0;
    // Offers the user a way to stop the job that Begin started (a cancel button) until End;
    // the job's loop asks CancelRequested after each Pump. Sinks without a user never cancel.
    virtual void OfferCancel() {}
    virtual bool CancelRequested() const { return false; }
    // The estimated seconds until the job is done; negative when there is no estimate.
    virtual void SetRemainingTime(int /*seconds*/) {}
};

// Ends the sink's job on every way out of the scope that began it.
class ProgressScope {
public:
    explicit ProgressScope(ProgressSink& sink) : sink_(sink) {}
    ~ProgressScope() { sink_.End(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    ProgressSink& sink_;
};

// For runs without a window: shows nothing.
class NullProgressSink final : public ProgressSink {
public:
    void Begin(int, int, const std::string&, PercentLabel) override {}
    void SetCaption(const std::string&) override {}
    void SetPosition(int) override {}
    void End() override {}
};

}  // namespace kivra
