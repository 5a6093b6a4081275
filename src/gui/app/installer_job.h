#pragma once
// Runs the codec installer on a worker thread while start-up waits in the event loop, and hands
// its result to a continuation on the thread that started it. Owned by the application object.
#include <QObject>
#include <functional>
#include <thread>

#include "platform/installer_launch.h"

namespace kivra {

class InstallerJob final {
public:
    // Starts the installer at once; done runs from the starting thread's event loop once the
    // installer has ended, unless the job has gone by then.
    InstallerJob(const InstallerLaunch& launch, std::function<void(InstallerResult)> done);
    ~InstallerJob();  // waits for the installer to end
    InstallerJob(const InstallerJob&) = delete;
    InstallerJob& operator=(const InstallerJob&) = delete;

    // Until done has been called.
    bool Running() const { return m_bRunning; }

private:
    QObject m_receiver;  // the continuation's context: its queued call goes with it
    std::function<void(InstallerResult)> m_done;
    bool m_bRunning = true;
    std::thread m_worker;  // last: it starts once everything above is in place
};

}  // namespace kivra
