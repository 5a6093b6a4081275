#pragma once
// The single-instance guard of the installer: an exclusive lock on a file named after the
// program, held until the process ends. The application object owns one.
#include <string>

enum class UniqueLock {
    Acquired,
    HeldElsewhere,  // another copy runs
    Failed,         // the lock file could not be opened safely
};

class ZebsCUniqueApp {
public:
    ZebsCUniqueApp() = default;
    virtual ~ZebsCUniqueApp();
    ZebsCUniqueApp(const ZebsCUniqueApp&) = delete;
    ZebsCUniqueApp& operator=(const ZebsCUniqueApp&) = delete;

    // Takes the lock "<folder>/<name>", dropping one held before. The folder must be one only
    // its owner, root or this user, can write; neither it nor the file is reached through a
    // link.
    UniqueLock Lock(const std::string& folder, const std::string& name);
    void Release();

    // The reverse-domain prefix followed by the running executable's base name (cut before its
    // last dot); computed once per process.
    static const std::string& UniqueName();
    // Where root's lock lives: the first of $PELLAM_LOCK_DIR (when set), else /run/lock and
    // /run, that only root can write; empty when none is.
    static std::string LockFolder();

private:
    int m_fdLock = -1;
};
