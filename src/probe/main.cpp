// kivra-probe <path>: probes one source with the media-information library and prints one answer
// line. The program runs it as a child, so a file on which the library stalls or crashes costs
// the program no more than the wait it allows.
#include <cstdio>
#include <string>

#include "convert/probe_options.h"
#include "convert/video_info.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: kivra-probe <file>\n", stderr);
        return 2;
    }
    const kivra::ProbeResult result =
        kivra::ProbeSource(argv[1], kivra::MediaInfoLibrary::Shared());
    const std::string line = kivra::ProbeAnswerLine(result);
    return std::fputs(line.c_str(), stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
}
