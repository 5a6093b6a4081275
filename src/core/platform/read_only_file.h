#pragma once
// A regular file read by position only, so that one open file can serve several threads:
// the AVI header parser and the decoders' chunk reads. Owns its descriptor.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace kivra {

class ReadOnlyFile {
public:
    // Not ok() when path cannot be opened or is not a regular file (a FIFO never blocks this).
    explicit ReadOnlyFile(const std::string& path);

    bool ok() const { return fd_.get() >= 0; }
    // The size when the file was opened; reads never reach past it.
    uint64_t size() const { return size_; }

    // Exactly n bytes at offset, or false.
    bool Read(uint64_t offset, void* dst, size_t n) const;
    // Up to n bytes at offset, fewer when the file ends first; empty on a read error.
    std::vector<uint8_t> ReadUpTo(uint64_t offset, uint64_t n) const;

private:
    UniqueFd fd_;
    uint64_t size_ = 0;
};

}  // namespace kivra
