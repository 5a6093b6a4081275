#include "output/own_files.h"

#include <sys/stat.h>

#include <filesystem>

#include "gait/gait_file.h"
#include "gait/report_header.h"
#include "kinematics/calibration.h"
#include "platform/path_util.h"
#include "platform/replace_file.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/translation.h"
#include "reading/avi_video_stream.h"

namespace kivra {
namespace {

std::string Normalised(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        return path;
    }
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal().string() : canonical.string();
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
        sa.st_ino == sb.st_ino) {
        return true;
    }
    return EqualsIgnoreCase(a, b) || EqualsIgnoreCase(Normalised(a), Normalised(b));
}

}  // namespace

VideoOwnFiles::VideoOwnFiles(const std::string& videoPath, const CAviVideoStream* stream) {
    if (!videoPath.empty()) {
        files_.emplace_back(videoPath, OwnFile::kVideo);
        // The split-off sound is deleted with the video: a file written under its name would go.
        files_.emplace_back(ReplaceExtension(videoPath, ".$tmp$.wav"), OwnFile::kVideo);
        files_.emplace_back(CalibrationPath(videoPath), OwnFile::kCalibration);
    }
    if (stream != nullptr) {
        files_.emplace_back(stream->FileName(), OwnFile::kVideo);
        files_.emplace_back(stream->MarkerFilePath(), OwnFile::kMarkerFile);
        // The user's edited gait events: nothing else keeps them.
        files_.emplace_back(GaitFilePath(stream->MarkerFilePath()), OwnFile::kGaitEvents);
        // The patient and visit of the report, typed once.
        files_.emplace_back(ReportHeaderPath(stream->MarkerFilePath()), OwnFile::kVisit);
    }
}

OwnFile VideoOwnFiles::Which(const std::string& path) const {
    if (path.empty()) {
        return OwnFile::kNone;
    }
    // A link is replaced at the file it leads to (even one that does not exist yet).
    const std::string target = ReplacementTarget(path);
    for (const auto& [name, which] : files_) {
        if (!name.empty() && (SameFile(path, name) || SameFile(target, name))) {
            return which;
        }
    }
    return OwnFile::kNone;
}

std::string OwnFileRefusalText(OwnFile which) {
    switch (which) {
        case OwnFile::kVideo:
            return LoadString(kIdsOverwriteOpenFile);
        case OwnFile::kMarkerFile:
            return translate("OwnFiles",
                             "開いている動画のマーカファイルに上書きすることは出来ません。\n"
                             "別のファイルを指定してください。");
        case OwnFile::kCalibration:
            return translate("OwnFiles",
                             "開いている動画のキャリブレーションファイルに上書きすることは出来ま"
                             "せん。\n別のファイルを指定してください。");
        case OwnFile::kGaitEvents:
            return translate("OwnFiles",
                             "開いている動画の歩行イベントファイルに上書きすることは出来ません。\n"
                             "別のファイルを指定してください。");
        case OwnFile::kVisit:
            return translate("OwnFiles",
                             "開いている動画の患者・検査情報ファイルに上書きすることは出来ません。"
                             "\n別のファイルを指定してください。");
        case OwnFile::kNone:
            break;
    }
    return std::string();
}

}  // namespace kivra
