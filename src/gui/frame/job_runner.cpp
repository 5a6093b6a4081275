#include "frame/job_runner.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <atomic>

#include "frame/progress_dlg.h"

namespace kivra {

// The job's side of the runner: everything it reports is posted to the window's thread in the
// order it was reported. Each Begin and End starts a new step, so that a Cancel pressed in one
// step's dialog never stops the next one.
class JobRunner::Context final : public JobContext,
                                 public ProgressSink,
                                 public UserMessages,
                                 public std::enable_shared_from_this<Context> {
public:
    explicit Context(JobRunner& runner) : m_runner(runner) {}

    ProgressSink& Progress() override { return *this; }
    UserMessages& Messages() override { return *this; }
    bool OnWindowThread(const std::function<void()>& task) override {
        return m_runner.CallOnWindowThread(task);
    }

    void Begin(int lower, int upper, const std::string& caption, PercentLabel label) override {
        const int step = ++m_step;
        m_lastPosition = lower;
        Post([step, lower, upper, caption, label](JobRunner& runner, Context& context) {
            context.m_shownStep = step;
            runner.m_pDialog->Begin(lower, upper, caption, label);
        });
    }
    void SetCaption(const std::string& caption) override {
        Post([caption](JobRunner& runner, Context&) { runner.m_pDialog->SetCaption(caption); });
    }
    void SetPosition(int position) override {
        if (position == m_lastPosition) {
            return;  // the encoder's loop repeats itself many times a second
        }
        m_lastPosition = position;
        Post([position](JobRunner& runner, Context&) { runner.m_pDialog->SetPosition(position); });
    }
    void End() override {
        ++m_step;
        Post([](JobRunner& runner, Context&) { runner.m_pDialog->End(); });
    }
    // Waits until the offer is on screen, so that a Cancel pressed as soon as it shows stops
    // this step however quickly the job runs on.
    void OfferCancel() override {
        m_runner.CallOnWindowThread([this] { m_runner.m_pDialog->OfferCancel(); });
    }
    bool CancelRequested() const override {
        return m_bAbandoned || m_cancelledStep.load() == m_step.load();
    }
    void SetRemainingTime(int seconds) override {
        Post([seconds](JobRunner& runner, Context&) {
            runner.m_pDialog->SetRemainingTime(seconds);
        });
    }

    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) override {
        MsgAnswer answer = buttons == MsgButtons::Ok            ? MsgAnswer::Ok
                           : buttons == MsgButtons::YesNoCancel ? MsgAnswer::Cancel
                                                                : MsgAnswer::No;
        m_runner.CallOnWindowThread(
            [&] { answer = m_runner.m_messages.ShowMessage(text, buttons, icon); });
        return answer;
    }

    // On the window's thread: the dialog's Cancel, for the step whose dialog it is.
    void CancelShownStep() { m_cancelledStep = m_shownStep; }
    void Abandon() { m_bAbandoned = true; }

private:
    // Runs report on the window's thread unless the job has been dropped by then.
    template <class Report>
    void Post(Report report) {
        QMetaObject::invokeMethod(
            &m_runner,
            [weak = weak_from_this(), report = std::move(report)] {
                if (const std::shared_ptr<Context> context = weak.lock()) {
                    report(context->m_runner, *context);
                }
            },
            Qt::QueuedConnection);
    }

    JobRunner& m_runner;
    std::atomic<int> m_step{0};            // counted on the worker
    std::atomic<int> m_cancelledStep{-1};  // set on the window's thread
    std::atomic<bool> m_bAbandoned{false};
    int m_shownStep = -1;    // the window's thread only
    int m_lastPosition = 0;  // the worker only
};

JobRunner::JobRunner(QWidget* window, UserMessages& messages)
    : m_pWindow(window),
      m_messages(messages),
      m_pDialog(std::make_unique<ProgressDlgSink>(window)) {
    m_pDialog->SetCancelHandler([this] {
        if (m_pContext) {
            m_pContext->CancelShownStep();
        }
    });
}

JobRunner::~JobRunner() {
    Abandon();
}

bool JobRunner::Start(std::function<void(JobContext&)> work, std::function<void()> done) {
    if (Busy()) {
        return false;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_bAbandoning = false;
    }
    m_pContext = std::make_shared<Context>(*this);
    m_done = std::move(done);
    qApp->installEventFilter(this);
    m_worker = std::thread([this, context = m_pContext, work = std::move(work)] {
        work(*context);
        // Behind everything the job reported, so the dialog has gone when the result arrives.
        QMetaObject::invokeMethod(
            this,
            [this, weak = std::weak_ptr<Context>(context)] {
                if (m_pContext != nullptr && weak.lock() == m_pContext) {
                    Finish();
                }
            },
            Qt::QueuedConnection);
    });
    return true;
}

void JobRunner::Finish() {
    m_worker.join();
    qApp->removeEventFilter(this);
    m_pDialog->End();  // a job that forgot its End
    m_pContext.reset();
    const std::function<void()> done = std::move(m_done);
    m_done = nullptr;
    if (done) {
        done();
    }
}

void JobRunner::Abandon() {
    if (!Busy()) {
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_bAbandoning = true;
    }
    m_changed.notify_all();
    m_pContext->Abandon();
    m_worker.join();
    qApp->removeEventFilter(this);
    m_pDialog->End();
    m_pContext.reset();
    m_done = nullptr;
}

bool JobRunner::CallOnWindowThread(const std::function<void()>& task) {
    struct Call {
        std::function<void()> task;
        bool done = false;
        bool dropped = false;  // the job stopped waiting: never run it
    };
    auto call = std::make_shared<Call>();
    call->task = task;
    QMetaObject::invokeMethod(
        this,
        [this, call] {
            {
                const std::lock_guard lock(m_mutex);
                if (call->dropped) {
                    return;
                }
            }
            call->task();
            {
                const std::lock_guard lock(m_mutex);
                call->done = true;
            }
            m_changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return call->done || m_bAbandoning; });
    call->dropped = !call->done;
    return call->done;
}

bool JobRunner::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::Close:
            break;
        default:
            return false;
    }
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) {
        return false;  // the native window passes it on to a widget, which is asked here
    }
    const QWidget* top = widget->window();
    if (qobject_cast<const CProgressDlg*>(top) != nullptr ||
        (QApplication::activeModalWidget() != nullptr &&
         top == QApplication::activeModalWidget())) {
        return false;
    }
    if (event->type() == QEvent::Close) {
        event->ignore();  // the window stays until the job is over
    }
    return true;
}

}  // namespace kivra
