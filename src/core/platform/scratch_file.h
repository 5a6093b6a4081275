#pragma once
// A file of ours under a name beside the user's files (the conversion's ".$tmp$.avi", an
// export's ".$out$.mp4"): made new under that name, never one that was there, so a link
// planted under the name is never followed. Kept open, so that a child can be handed this very
// file ("/proc/self/fd/N") and no name swapped in later redirects what is written. Owned by
// whoever runs the job; what it made goes with it unless Keep() is called.
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace kivra {

class ScratchFile {
public:
    ScratchFile() = default;
    ~ScratchFile();
    ScratchFile(ScratchFile&& other) noexcept;
    ScratchFile& operator=(ScratchFile&& other) noexcept;
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Makes an empty file at path (mode 0644 less the umask). A regular file already there is
    // what an interrupted run of ours left and is removed; anything else (a link, a folder, a
    // pipe) is renamed to "<path>.aside<N>" and left alone. Not open, with the reason, when
    // the name cannot be made ours.
    static ScratchFile Create(const std::string& path, std::string* reason = nullptr);

    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    int Fd() const { return fd_; }
    // The path by which a child given this file as descriptor `childFd` reaches it.
    static std::string ChildPath(int childFd);

    // Bytes in the file now; 0 when not open.
    std::uint64_t Size() const;
    // Whether the name still leads to this file, not to anything put there since.
    bool IsAtPath() const;
    // Removes the name, only while it still leads to this file, and forgets the file.
    void Remove();
    // Renames the file to target (replacing it) when the name still leads to this file, and
    // checks that target is this file afterwards. False, with the reason, otherwise; the file
    // is forgotten either way (a file swapped in under target is taken away again).
    bool MoveTo(const std::string& target, std::string* reason);
    // The file stays under its name; someone else deletes it now.
    void Keep();

private:
    ScratchFile(std::string path, int fd);
    void Close();

    std::string path_;
    int fd_ = -1;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
};

}  // namespace kivra
