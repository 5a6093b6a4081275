#include "batch/batch_inputs.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/path_util.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/translation.h"

namespace kivra {
namespace {

namespace fs = std::filesystem;

// The extensions of the open dialog's video filter ("*.avi;*.mp4;..."), with their dots.
std::vector<std::string> VideoExtensions() {
    std::vector<std::string> extensions;
    const std::string& filter = SourceString(kIdsVideoFileFilter);
    for (std::size_t at = filter.find("*."); at != std::string::npos;
         at = filter.find("*.", at + 1)) {
        const std::size_t end = filter.find_first_of(";|", at);
        extensions.push_back(filter.substr(at + 1, end - at - 1));
    }
    return extensions;
}

// Conversions and saves leave "x.$tmp$.avi" and "x.$out$.avi" beside a video while they run.
bool IsScratchFile(const std::string& name) {
    return name.find(".$tmp$") != std::string::npos || name.find(".$out$") != std::string::npos;
}

std::string FileNameOf(const std::string& path) {
    return fs::path(path).filename().string();
}

// "size mtime" of a file, "none" when there is nothing there.
std::string FileState(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return "none";
    }
    return std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec);
}

// One stamp line's text: a line end in a name or an option must not make two lines.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', '\x1f');
    return text;
}

}  // namespace

std::optional<std::vector<std::string>> VideosInFolder(const std::string& folder,
                                                       std::string& problem) {
    const std::vector<std::string> extensions = VideoExtensions();
    std::vector<std::string> videos;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code kind;
        if (!it->is_regular_file(kind) || IsScratchFile(name)) {
            continue;
        }
        const std::string extension = FileExtension(name);
        if (std::any_of(extensions.begin(), extensions.end(),
                        [&](const std::string& e) { return EqualsIgnoreCase(e, extension); })) {
            videos.push_back(JoinPath(folder, name));
        }
    }
    if (error) {
        problem = folder + ": " + translate("BatchMessages", "フォルダを読めません");
        return std::nullopt;
    }
    std::sort(videos.begin(), videos.end(), [](const std::string& a, const std::string& b) {
        return FileNameOf(a) < FileNameOf(b);
    });
    return videos;
}

std::optional<std::vector<std::string>> VideosInList(const std::string& listFile,
                                                     std::string& problem) {
    std::ifstream in(listFile, std::ios::binary);
    if (!in) {
        problem = listFile + ": " + translate("BatchMessages", "ファイルを読めません");
        return std::nullopt;
    }
    std::vector<std::string> videos;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] != '#') {
            videos.push_back(line);
        }
    }
    if (in.bad()) {
        problem = listFile + ": " + translate("BatchMessages", "ファイルを読めません");
        return std::nullopt;
    }
    return videos;
}

std::vector<std::string> ResultFolderNames(const std::vector<std::string>& videos) {
    std::map<std::string, int> stems;
    for (const std::string& video : videos) {
        ++stems[fs::path(video).stem().string()];
    }
    std::vector<std::string> names;
    std::map<std::string, int> taken;
    for (const std::string& video : videos) {
        const std::string stem = fs::path(video).stem().string();
        std::string name = stems[stem] > 1 || stem.empty() ? FileNameOf(video) : stem;
        // A list may name one file name in several folders.
        const int seen = ++taken[name];
        if (seen > 1) {
            name += "-" + std::to_string(seen);
        }
        names.push_back(name);
    }
    return names;
}

std::string MarkerFileOfVideo(const std::string& video) {
    return ReplaceExtension(video,
                            EqualsIgnoreCase(FileExtension(video), ".avi") ? ".lff" : ".$tmp$.lff");
}

std::string DoneStamp(const std::string& video, const std::vector<std::string>& options) {
    std::string stamp = "kivra-batch 1\nvideo " + FileState(video) + "\n";
    // What the analysis and the report read besides the video: either route's marker file and
    // the files named after it, and the calibration beside the video.
    for (const std::string& base :
         {ReplaceExtension(video, ""), ReplaceExtension(video, ".$tmp$")}) {
        for (const char* extension : {".lff", ".kgait", ".kvisit"}) {
            stamp += std::string(extension + 1) + " " + FileState(base + extension) + "\n";
        }
    }
    stamp += "kcal " + FileState(ReplaceExtension(video, ".kcal")) + "\n";
    for (const std::string& option : options) {
        stamp += "option " + OneLine(option) + "\n";
    }
    return stamp;
}

bool ResultIsDone(const std::string& folder, const std::string& stamp) {
    std::ifstream in(JoinPath(folder, kDoneFileName), std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str() == stamp;
}

std::string FileDateText(const std::string& path) {
    struct stat st {};
    std::tm local{};
    if (::stat(path.c_str(), &st) != 0 || localtime_r(&st.st_mtim.tv_sec, &local) == nullptr) {
        return {};
    }
    char text[32];
    return std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) > 0 ? text : "";
}

}  // namespace kivra
