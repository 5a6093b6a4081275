#include "reading/group_decoder.h"

#include "picture/picture_cache.h"

namespace kivra {

RunOutcome DecodeOnTo(GroupDecoder& decoder, PictureCache& cache, int target) {
    for (;;) {
        const int display = decoder.Next(nullptr, nullptr);
        if (display == GroupDecoder::kRunEnded) {
            return RunOutcome::Ended;
        }
        if (display == target) {
            cache.NotePictureBytes(decoder.Picture());
            return RunOutcome::Reached;
        }
        if (display > target) {
            decoder.ReleasePicture();
            return RunOutcome::Passed;
        }
        cache.Insert(display, decoder.Picture(), decoder.PictureShared(), true);
        decoder.ReleasePicture();
    }
}

}  // namespace kivra
