#include "app/installer_job.h"

namespace kivra {

InstallerJob::InstallerJob(const InstallerLaunch& launch, std::function<void(InstallerResult)> done)
    : m_done(std::move(done)), m_worker([this, launch] {
          const InstallerResult result = RunInstaller(launch);
          QMetaObject::invokeMethod(
              &m_receiver,
              [this, result] {
                  m_bRunning = false;
                  if (m_done) {
                      m_done(result);
                  }
              },
              Qt::QueuedConnection);
      }) {}

InstallerJob::~InstallerJob() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

}  // namespace kivra
