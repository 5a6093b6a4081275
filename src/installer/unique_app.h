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

    // Takes the lock "<folder>/<name>", dropping one held before.
    UniqueLock Lock(const std::string& folder, const std::string& name);
    void Release();

    // The reverse-domain prefix followed by the running executable's base name (cut before its
    // last dot); computed once per process.
    static const std::string& UniqueName();
    // $XDG_RUNTIME_DIR when it is an absolute path, else the temporary folder.
    static std::string LockFolder();

private:
    int m_fdLock = -1;
};
