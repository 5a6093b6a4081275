#pragma once
// Test helpers for making real media files: running the installed `ffmpeg` program, a
// scratch folder that cleans up after itself, and whole-file reads and writes.
#include <string>
#include <string_view>
#include <vector>

namespace kivra::test {

// Runs argv[0] (looked up in PATH) with the given arguments, without a shell, with stdin from
// /dev/null. Returns true when it ran and exited with status 0.
bool RunProgram(const std::vector<std::string>& argv);

// Like RunProgram, and collects what the program writes on stdout into `output`.
bool RunProgramOutput(const std::vector<std::string>& argv, std::string& output);

// Runs `ffmpeg -nostdin -hide_banner -loglevel error -y <args...>`; true on exit status 0.
// Example: RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-frames:v", "30",
//                     "-c:v", "mjpeg", dir.File("out.avi")}).
bool RunFfmpeg(const std::vector<std::string>& args);

// A uniquely named folder under /tmp, removed with everything in it when this object ends,
// even after a test took away its write permission.
class TempDir {
public:
    TempDir() : TempDir("kivra-test") {}
    // The folder's name starts with prefix: pass one with blanks or Japanese text to run the
    // code under test on such paths.
    explicit TempDir(const std::string& prefix);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // path() + "/" + name.
    std::string File(const std::string& name) const;
    // The names of the entries in the folder, sorted.
    std::vector<std::string> Names() const;

private:
    std::string path_;
};

// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// Creates or truncates path and writes bytes to it; true when all of them were written.
bool WriteFile(const std::string& path, std::string_view bytes);

// The comma-separated fields of each line of text (CR LF or LF line ends; empty fields kept).
std::vector<std::vector<std::string>> CsvFields(const std::string& text);

// Exit status of `kivra-cli command args...` (-1 when it could not be run); what it writes on
// stderr goes to dir/"err.txt". Locale variables given ("LANG=C") replace the test's own.
int RunCliCommand(const TempDir& dir, const std::string& command, std::vector<std::string> args,
                  const std::vector<std::string>& locale = {});

}  // namespace kivra::test
