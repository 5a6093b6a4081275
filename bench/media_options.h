#pragma once
// The command line of the benchmarks that make their clips in a media folder:
// [--media DIR] [--quick].
#include <optional>
#include <string>

namespace kivra::bench {

struct MediaOptions {
    std::string media;  // empty: the benchmark's own folder
    bool quick = false;
};

// Nothing when an argument is not one of those.
inline std::optional<MediaOptions> ParseMediaOptions(int argc, char** argv) {
    MediaOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--media" && i + 1 < argc) {
            options.media = argv[++i];
        } else if (arg == "--quick") {
            options.quick = true;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace kivra::bench
