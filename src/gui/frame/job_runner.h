#pragma once
// Runs the long jobs of the core (saving the movie, following markers, opening a video) on a
// worker thread, one at a time, while the window's own event loop goes on painting. The job's
// progress and questions reach the window through queued calls, Cancel reaches the job through
// a flag, and the result comes back to a continuation on the window's thread once the progress
// dialog has gone. Owned by the main frame.
#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/progress_sink.h"
#include "platform/user_messages.h"

class QWidget;

namespace kivra {

class ProgressDlgSink;

// What a job may use from its worker thread; each call is safe there.
class JobContext {
public:
    virtual ~JobContext() = default;
    // The progress dialog over the window; CancelRequested is the dialog's Cancel.
    virtual ProgressSink& Progress() = 0;
    // Message boxes over the window; the job waits for the answer.
    virtual UserMessages& Messages() = 0;
    // Runs task on the window's thread and returns once it has run; false (not run) when the
    // job is being abandoned.
    virtual bool OnWindowThread(const std::function<void()>& task) = 0;
};

// While a job runs, user input reaches only the progress dialog and message boxes; the window
// keeps painting and its timers keep firing.
class JobRunner final : public QObject {
    Q_OBJECT

public:
    // window: owns the progress dialog and gets no input during a job. messages: how the
    // window asks the user; both must outlive the runner.
    JobRunner(QWidget* window, UserMessages& messages);
    ~JobRunner() override;  // abandons a running job (see Abandon)
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    bool Busy() const { return m_worker.joinable(); }

    // Starts work on the worker; done gets its result on the window's thread after everything
    // the job showed. False, and nothing runs, while another job runs.
    template <class Result>
    bool Run(std::function<Result(JobContext&)> work, std::function<void(Result)> done) {
        auto result = std::make_shared<std::optional<Result>>();
        return Start([work = std::move(work), result](JobContext& c) { result->emplace(work(c)); },
                     [done = std::move(done), result] { done(std::move(**result)); });
    }

    // Asks a running job to stop, waits for it and drops its continuation: for leaving the
    // program while a job still runs.
    void Abandon();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Context;

    bool Start(std::function<void(JobContext&)> work, std::function<void()> done);
    void Finish();
    bool CallOnWindowThread(const std::function<void()>& task);

    QPointer<QWidget> m_pWindow;
    UserMessages& m_messages;
    std::unique_ptr<ProgressDlgSink> m_pDialog;  // the dialog of the job's current step
    std::shared_ptr<Context> m_pContext;         // the running job's; null between jobs
    std::function<void()> m_done;
    std::thread m_worker;
    std::mutex m_mutex;  // guards m_bAbandoning and the window-thread calls' state
    std::condition_variable m_changed;
    bool m_bAbandoning = false;
};

}  // namespace kivra
