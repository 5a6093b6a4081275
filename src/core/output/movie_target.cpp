#include "output/movie_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "convert/ffmpeg_util.h"
#include "platform/path_util.h"
#include "platform/scratch_file.h"

namespace kivra {

namespace {

bool MoveOver(const std::string& finished, const std::string& target, std::string* reason) {
    if (std::rename(finished.c_str(), target.c_str()) == 0) {
        return true;
    }
    *reason = "cannot replace " + target + ": " + std::strerror(errno);
    std::remove(finished.c_str());
    return false;
}

}  // namespace

std::string IntermediateMoviePath(const std::string& target) {
    return ReplaceExtension(target, ".$out$.avi");
}

std::string ConvertedMoviePath(const std::string& target) {
    const std::string extension = FileExtension(target);
    return EqualsIgnoreCase(extension, ".avi") ? std::string()
                                               : ReplaceExtension(target, ".$out$" + extension);
}

OwnFile MovieTargetClash(const std::string& target, const VideoOwnFiles& own, std::string* clash) {
    for (const std::string& path :
         {target, IntermediateMoviePath(target), ConvertedMoviePath(target)}) {
        const OwnFile which = own.Which(path);
        if (which != OwnFile::kNone) {
            if (clash != nullptr) {
                *clash = path;
            }
            return which;
        }
    }
    return OwnFile::kNone;
}

bool ClearInterruptedSave(const std::string& target, std::string* blocked) {
    for (const std::string& path : {IntermediateMoviePath(target), ConvertedMoviePath(target)}) {
        struct stat st {};
        if (path.empty() || ::lstat(path.c_str(), &st) != 0) {
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            if (blocked != nullptr) {
                *blocked = path;
            }
            return false;
        }
        ::unlink(path.c_str());
    }
    return true;
}

bool PlaceTrimmedMovie(const std::string& intermediate, const std::string& target, int profileIndex,
                       CFFMpegUtil& encoder, ProgressSink& progress, std::string* reason) {
    std::string ignored;
    std::string& why = reason != nullptr ? *reason : ignored;
    if (EqualsIgnoreCase(FileExtension(target), ".avi")) {
        return MoveOver(intermediate, target, &why);
    }
    // The format follows the extension, so the scratch name keeps it. Made afresh: what is
    // there (an interrupted save's leftover, a planted link) is never written through.
    ScratchFile converted =
        ScratchFile::Create(ReplaceExtension(target, ".$out$" + FileExtension(target)), &why);
    const bool ok = converted.IsOpen() &&
                    encoder.ConvertWithProfile(intermediate, converted, profileIndex, progress);
    std::remove(intermediate.c_str());
    if (!ok) {
        if (why.empty()) {
            why = "the conversion with profile " + std::to_string(profileIndex) + " failed\n" +
                  encoder.EncoderMessages();
        }
        return false;
    }
    return converted.MoveTo(target, &why);
}

}  // namespace kivra
