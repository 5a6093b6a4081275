#include "options.h"

#include <charconv>
#include <string_view>

#include "gait/report_header.h"
#include "platform/number_text.h"
#include "platform/translation.h"

namespace kivra::cli {
namespace {

std::string MarkerIdProblem() {
    return ArgText(translate("CliMessages", "マーカ ID は 1 から %1 までの整数です"),
                   {std::to_string(kMaxAngleMarkerId)});
}

// The header text field an option names, or null.
std::optional<std::string>* HeaderText(HeaderOptions& header, const std::string& option) {
    const std::pair<const char*, std::optional<std::string> HeaderOptions::*> fields[] = {
        {"--patient", &HeaderOptions::patient},     {"--birth", &HeaderOptions::birth},
        {"--visit", &HeaderOptions::visit},         {"--examiner", &HeaderOptions::examiner},
        {"--condition", &HeaderOptions::condition}, {"--comment", &HeaderOptions::comment}};
    for (const auto& [name, field] : fields) {
        if (option == name) {
            return &(header.*field);
        }
    }
    return nullptr;
}

// Why "SIDE=HEEL,TOE" gave no foot: IDs that are no IDs, or the same ID twice.
std::string FootProblem(const std::string& given, std::size_t equals) {
    const std::string ids = equals == std::string::npos ? std::string() : given.substr(equals + 1);
    const std::size_t comma = ids.find(',');
    if (comma != std::string::npos) {
        const std::string heel = ids.substr(0, comma);
        const std::string toe = ids.substr(comma + 1);
        const auto id = [](const std::string& text) {
            int value = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            return ec == std::errc() && end == text.data() + text.size() && value >= 1 &&
                   value <= kMaxAngleMarkerId;
        };
        if (!heel.empty() && !toe.empty() &&
            heel.find_first_not_of("0123456789-+") == std::string::npos &&
            toe.find_first_not_of("0123456789-+") == std::string::npos) {
            if (!id(heel) || !id(toe)) {
                return MarkerIdProblem();
            }
            return translate("CliMessages", "踵とつま先には別の ID を指定してください");
        }
    }
    return translate("CliMessages", "SIDE=HEEL,TOE の形で 2 つのマーカ ID を指定してください");
}

// --foot SIDE=HEEL,TOE into the setup; the exit status and problem as ParseOptions gives them.
int ReadFoot(const std::string& given, GaitSetup& setup, std::string& problem) {
    const std::size_t equals = given.find('=');
    const std::string side = given.substr(0, equals);
    const auto foot = equals == std::string::npos
                          ? std::nullopt
                          : ParseFootMarkers(std::string_view(given).substr(equals + 1));
    if (!foot) {
        problem = "--foot " + given + ": " + FootProblem(given, equals);
        return 2;
    }
    if (side != "R" && side != "L") {
        problem =
            "--foot " + given + ": " + translate("CliMessages", "左右は R か L で指定してください");
        return 1;
    }
    auto& target = side == "R" ? setup.right : setup.left;
    if (target) {
        problem = GivenTwiceText("--foot " + side);
        return 2;
    }
    target = foot;
    return 0;
}

// A marker ID, or 0 for "-" where leaveOut allows it; nothing for anything else.
std::optional<int> MarkerIdOf(const std::string& text, bool leaveOut) {
    if (leaveOut && text == "-") {
        return 0;
    }
    int id = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (ec != std::errc() || end != text.data() + text.size() || id < 1 || id > kMaxAngleMarkerId) {
        return std::nullopt;
    }
    return id;
}

// The IDs of "A,B,..." (each an ID, or "-" where leaveOut allows it); nothing unless there
// are between least and most of them, all readable.
std::optional<std::vector<int>> MarkerIdList(const std::string& text, std::size_t least,
                                             std::size_t most, bool leaveOut) {
    std::vector<int> ids;
    for (std::size_t from = 0;;) {
        const std::size_t comma = text.find(',', from);
        const auto id = MarkerIdOf(text.substr(from, comma - from), leaveOut);
        if (!id || ids.size() == most) {
            return std::nullopt;
        }
        ids.push_back(*id);
        if (comma == std::string::npos) {
            break;
        }
        from = comma + 1;
    }
    if (ids.size() < least) {
        return std::nullopt;
    }
    return ids;
}

// The front view's options; the exit status and problem as ParseOptions gives them, -1 for an
// option that is none of them.
int ReadFrontOption(const std::vector<std::string>& args, std::size_t& i, FrontOptions& front,
                    std::string& problem) {
    const std::string& arg = args[i];
    if (i + 1 >= args.size()) {
        return -1;
    }
    const std::string& text = args[i + 1];
    const auto givenTwice = [&](bool given) {
        if (given) {
            problem = GivenTwiceText(arg);
        }
        return given;
    };
    if (arg == "--front") {
        if (givenTwice(front.video.has_value())) {
            return 2;
        }
        front.video = text;  // as typed: a leading dash or blanks included
    } else if (arg == "--front-pelvis") {
        if (givenTwice(front.pelvisGiven)) {
            return 2;
        }
        const auto ids = MarkerIdList(text, 2, 3, /*leaveOut=*/false);
        if (!ids) {
            problem =
                "--front-pelvis " + Excerpt(text) + ": " +
                translate("CliMessages", "R,L または R,L,TRUNK の形でマーカ ID を指定してください");
            return 2;
        }
        front.pelvisGiven = true;
        front.setup.pelvisRight = (*ids)[0];
        front.setup.pelvisLeft = (*ids)[1];
        front.setup.trunk = ids->size() > 2 ? (*ids)[2] : 0;
    } else if (arg == "--front-foot") {
        const std::size_t equals = text.find('=');
        const std::string side = text.substr(0, equals);
        const auto ids = equals == std::string::npos
                             ? std::nullopt
                             : MarkerIdList(text.substr(equals + 1), 4, 4, /*leaveOut=*/true);
        if ((side != "R" && side != "L") || !ids) {
            problem = "--front-foot " + Excerpt(text) + ": " +
                      translate("CliMessages",
                                "SIDE=HIP,KNEE,ANKLE,HEEL の形で左右 (R か L) と 4 つのマーカ ID "
                                "(使わないものは -) を指定してください");
            return 2;
        }
        FrontalSetup::Leg& leg = side == "R" ? front.setup.right : front.setup.left;
        if (leg.hip + leg.knee + leg.ankle + leg.heel > 0) {
            problem = GivenTwiceText("--front-foot " + side);
            return 2;
        }
        leg = {(*ids)[0], (*ids)[1], (*ids)[2], (*ids)[3]};
    } else if (arg == "--offset") {
        if (givenTwice(front.offset.has_value())) {
            return 2;
        }
        front.offset = SyncOffset::Parse(text);
        if (!front.offset) {
            problem = "--offset " + Excerpt(text) + ": " +
                      translate("CliMessages",
                                "秒数を 0.35、-1.001、-1001/30000 のように指定してください "
                                "(正面の時刻 = 側面の時刻 + ずれ)");
            return 2;
        }
    } else if (arg == "--front-scale") {
        if (givenTwice(front.scale.has_value())) {
            return 2;
        }
        front.scale = ParsePositiveNumber(text);
        if (!front.scale) {
            problem = NumberProblem(arg, text);
            return 2;
        }
    } else {
        return -1;
    }
    ++i;
    return 0;
}

// One option at args[i] and its value; i is left on the last argument taken. -1 for an option
// the command does not take.
int ReadOption(const std::vector<std::string>& args, std::size_t& i, AcceptedOptions accepted,
               CommandOptions& parsed, std::string& problem) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--angle" && hasValue) {
        std::string why;
        auto angle = ParseNamedAngle(args[++i], &why);
        if (!angle) {
            problem = "--angle " + args[i] + ": " + why;
            return 2;
        }
        parsed.angles.push_back(std::move(*angle));
    } else if (arg == "--joint" && hasValue) {
        std::string why;
        const auto joint = ParseClinicalAngle(args[++i], &why);
        if (!joint) {
            problem = "--joint " + args[i] + ": " + why;
            return 2;
        }
        parsed.joints.push_back(*joint);
    } else if ((arg == "--scale" || arg == "--filter") && hasValue) {
        const std::optional<double> value = ParsePositiveNumber(args[++i]);
        if (!value) {
            problem = NumberProblem(arg, args[i]);
            return 2;
        }
        if (arg == "--scale") {
            parsed.scale = value;
        } else {
            parsed.filterHz = *value;
        }
    } else if (accepted.gait && arg == "--foot" && hasValue) {
        return ReadFoot(args[++i], parsed.setup, problem);
    } else if (accepted.gait && arg == "--pelvis" && hasValue) {
        int id = 0;
        const std::string& text = args[++i];
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
        if (ec != std::errc() || end != text.data() + text.size() || id < 1 ||
            id > kMaxAngleMarkerId) {
            problem = "--pelvis " + text + ": " + MarkerIdProblem();
            return 2;
        }
        parsed.setup.pelvisId = id;
    } else if (accepted.gait && arg == "--detect") {
        parsed.detect = true;
    } else if (accepted.gait && arg == "--reference" && hasValue) {
        parsed.references.push_back(args[++i]);
    } else if (accepted.header && arg == "--leg-length" && hasValue) {
        const std::string& text = args[++i];
        if (parsed.header.legLengthMm) {
            problem = GivenTwiceText("--leg-length");
            return 2;
        }
        parsed.header.legLengthMm = ParseLegLength(text);
        if (!parsed.header.legLengthMm) {
            problem = "--leg-length " + Excerpt(text) + ": " +
                      ArgText(translate("CliMessages",
                                        "0 より大きく %1 未満の長さを mm で指定してください"),
                              {std::to_string(int(kMaxLegLengthMm))});
            return 2;
        }
    } else if (const int front =
                   accepted.front ? ReadFrontOption(args, i, parsed.front, problem) : -1;
               front >= 0) {
        return front;
    } else if (auto* field =
                   accepted.header && hasValue ? HeaderText(parsed.header, arg) : nullptr) {
        if (field->has_value()) {
            problem = GivenTwiceText(arg);
            return 2;
        }
        *field = args[++i];  // as typed: blanks, quotes and leading dashes included
    } else {
        return -1;
    }
    return 0;
}

}  // namespace

int ParseOptions(const std::vector<std::string>& args, std::size_t first, AcceptedOptions accepted,
                 CommandOptions& parsed, std::string& problem) {
    for (std::size_t i = first; i < args.size(); ++i) {
        const int read = ReadOption(args, i, accepted, parsed, problem);
        if (read != 0) {
            return read < 0 ? 2 : read;
        }
    }
    if (const auto twice = DuplicateAngleName(parsed.angles)) {
        problem = AngleNameTwiceText(*twice);
        return 2;
    }
    if (auto twice = JointGivenTwice(parsed.angles, parsed.joints, accepted.gait)) {
        problem = std::move(*twice);
        return 2;
    }
    return 0;
}

std::optional<std::string> JointGivenTwice(const std::vector<NamedAngle>& angles,
                                           const std::vector<ClinicalAngle>& joints,
                                           bool cycleColumns) {
    if (const auto twice = DuplicateClinicalAngle(joints)) {
        return GivenTwiceText("--joint " + *twice);
    }
    for (const ClinicalAngle& joint : joints) {
        const std::string column = ClinicalAngleName(joint);
        const std::string kind = column.substr(0, column.size() - 2);  // without "_R"
        for (const NamedAngle& angle : angles) {
            if (angle.name == column || (cycleColumns && angle.name == kind)) {
                return ArgText(translate("CliMessages",
                                         "角度の名前 %1 は --joint %2 の列と重なります。"
                                         "角度に別の名前を付けてください"),
                               {angle.name, FormatClinicalAngle(joint)});
            }
        }
    }
    return std::nullopt;
}

std::string NumberProblem(const std::string& option, const std::string& given) {
    return option + " " + Excerpt(given) + ": " +
           (option == "--scale" || option == "--front-scale"
                ? translate("CliMessages",
                            "0 より大きい数値を指定してください (ピクセルあたりのミリメートル)")
                : translate("CliMessages", "0 より大きい数値を指定してください (Hz)"));
}

bool FrontOptions::AnyMarker() const {
    const auto anyOf = [](const FrontalSetup::Leg& leg) {
        return leg.hip + leg.knee + leg.ankle + leg.heel > 0;
    };
    return pelvisGiven || anyOf(setup.right) || anyOf(setup.left);
}

bool FrontOptions::AnyGiven() const {
    return video || AnyMarker() || offset || scale;
}

std::string GivenTwiceText(const std::string& option) {
    return ArgText(translate("CliMessages", "%1 が 2 回指定されています"), {option});
}

std::string AngleNameTwiceText(const std::string& name) {
    return ArgText(translate("CliMessages", "角度の名前 %1 が 2 回指定されています"), {name});
}

}  // namespace kivra::cli
