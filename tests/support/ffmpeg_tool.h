#pragma once
// Test helpers for making real media files: running the installed `ffmpeg` program and a
// scratch folder that cleans up after itself.
#include <string>
#include <vector>

namespace kivra::test {

// Runs argv[0] (looked up in PATH) with the given arguments, without a shell, with stdin from
// /dev/null. Returns true when it ran and exited with status 0.
bool RunProgram(const std::vector<std::string>& argv);

// Runs `ffmpeg -nostdin -hide_banner -loglevel error -y <args...>`; true on exit status 0.
// Example: RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-frames:v", "30",
//                     "-c:v", "mjpeg", dir.File("out.avi")}).
bool RunFfmpeg(const std::vector<std::string>& args);

// A uniquely named folder under /tmp, removed with everything in it when this object ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // path() + "/" + name.
    std::string File(const std::string& name) const;

private:
    std::string path_;
};

}  // namespace kivra::test
