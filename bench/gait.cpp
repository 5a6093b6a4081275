// kivra-bench-gait [--sample DIR] [--seeds N]
//
// The gait analysis of the bundled gait sample against the walk it was rendered from: each
// event's distance in frames to the true one, and each parameter's error against the
// tolerance a gait clinic works to, once with the markers where the dots are and once with
// every click off by up to a pixel (N seeds, the worst shown) and the filter at 6 Hz. The
// sample folder defaults to sample/ of the build folder. Exit status 1 only when something
// could not run.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "gait/gait_analysis.h"
#include "markers/lff_manager.h"
#include "platform/settings_folder.h"

namespace kivra {
namespace {

namespace fs = std::filesystem;

struct Truth {
    std::vector<GaitEvent> events;
    std::vector<std::pair<std::string, double>> parameters;
};

bool ReadTruth(const std::string& base, Truth& truth) {
    std::ifstream events(base + "_events.csv");
    std::ifstream parameters(base + "_parameters.csv");
    if (!events || !parameters) {
        return false;
    }
    std::string line;
    std::getline(events, line);
    while (std::getline(events, line)) {
        GaitEvent e;
        double seconds = 0;
        char side[4] = {}, kind[4] = {};
        if (std::sscanf(line.c_str(), "%d,%lf,%1[RL],%2[HSTO]", &e.frame, &seconds, side, kind) ==
            4) {
            e.side = side[0] == 'R' ? FootSide::kRight : FootSide::kLeft;
            e.kind = kind[0] == 'H' ? GaitEventKind::kHeelStrike : GaitEventKind::kToeOff;
            truth.events.push_back(e);
        }
    }
    std::getline(parameters, line);
    while (std::getline(parameters, line)) {
        const std::size_t comma = line.find(',');
        if (comma != std::string::npos) {
            truth.parameters.emplace_back(line.substr(0, comma), std::stod(line.substr(comma + 1)));
        }
    }
    return !truth.events.empty();
}

// The largest distance in frames from a true event to the found one of its side and kind;
// -1 when one is missing. Events found but not true are counted apart.
int WorstEventError(const std::vector<GaitEvent>& found, const std::vector<GaitEvent>& truth,
                    int& invented) {
    int worst = 0;
    for (const GaitEvent& t : truth) {
        int best = -1;
        for (const GaitEvent& f : found) {
            if (f.side == t.side && f.kind == t.kind &&
                (best < 0 || std::abs(f.frame - t.frame) < best)) {
                best = std::abs(f.frame - t.frame);
            }
        }
        if (best < 0 || best > 5) {
            return -1;
        }
        worst = std::max(worst, best);
    }
    invented = 0;
    for (const GaitEvent& f : found) {
        bool near = false;
        for (const GaitEvent& t : truth) {
            near =
                near || (f.side == t.side && f.kind == t.kind && std::abs(f.frame - t.frame) <= 5);
        }
        invented += near ? 0 : 1;
    }
    return worst;
}

struct Tolerance {
    const char* name;
    double limit;
    bool relative;  // limit is a share of the true value
    const char* unit;
};

constexpr Tolerance kTolerances[] = {
    {"StrideTime", 0.02, false, "s"}, {"StancePercent", 3.0, false, "points"},
    {"StrideLength", 0.01, true, ""}, {"StepLength", 0.01, true, ""},
    {"Cadence", 0.02, true, ""},      {"Speed", 0.02, true, ""}};

int Run(const std::string& sampleDir, int seeds) {
    const std::string base = sampleDir + "/walker_gait";
    Truth truth;
    if (!ReadTruth(base, truth)) {
        std::cerr << "cannot read the truth beside " << base << ".avi (build the sample target)\n";
        return 1;
    }
    GaitAnalysisOptions options;
    options.setup.right = FootMarkers{5, 6};
    options.setup.left = FootMarkers{7, 8};
    options.setup.pelvisId = 2;
    const CalibrationRead calibration = ReadCalibrationFile(base + ".kcal");
    if (calibration.status != CalibrationRead::kLoaded) {
        std::cerr << base << ".kcal: cannot be read\n";
        return 1;
    }
    options.calibration = calibration.calibration;

    std::printf("Gait sample: %zu true events, 30 fps, calibrated\n\n", truth.events.size());
    std::printf("%-22s %14s %10s %8s\n", "Markers", "worst event", "goal", "result");
    std::vector<std::pair<std::string, double>> worstParameter(std::size(kTolerances),
                                                               {std::string(), 0.0});
    bool allPass = true;
    for (const double noise : {0.0, 1.0}) {
        int worst = 0;
        int invented = 0;
        const int runs = noise > 0 ? seeds : 1;
        for (int seed = 1; seed <= runs; ++seed) {
            CLFFManager store;
            if (store.LoadMarkers(base + ".lff", 8) != CLFFManager::kLoaded) {
                std::cerr << base << ".lff: cannot be read\n";
                return 1;
            }
            std::mt19937 random(static_cast<unsigned>(seed));
            std::uniform_real_distribution<double> click(-noise, noise);
            for (int row = 0; row < 8 && noise > 0; ++row) {
                for (const T_MARKER m : store.Row(row)) {
                    store.SetMarker(row, m.frame, m.x + click(random), m.y + click(random));
                }
            }
            options.setup.filterHz = noise > 0 ? 6.0 : 0.0;
            const GaitAnalysis a = AnalyseGait(store, 0, 119, 30.0, options);
            if (!a.error.empty()) {
                std::cerr << "analysis failed: " << a.error << "\n";
                return 1;
            }
            int extra = 0;
            const int error = WorstEventError(a.events, truth.events, extra);
            worst = error < 0 || worst < 0 ? -1 : std::max(worst, error);
            invented += extra;
            for (std::size_t i = 0; i < std::size(kTolerances); ++i) {
                const ParameterSummary* p = FindParameter(a.parameters, kTolerances[i].name);
                double trueValue = std::nan("");
                for (const auto& [name, value] : truth.parameters) {
                    trueValue = name == kTolerances[i].name ? value : trueValue;
                }
                const double measured = p && p->both.mean ? *p->both.mean : std::nan("");
                double deviation = std::abs(measured - trueValue);
                if (kTolerances[i].relative) {
                    deviation /= trueValue;
                }
                if (!(deviation <= worstParameter[i].second)) {
                    worstParameter[i] = {noise > 0 ? "1 px clicks" : "exact", deviation};
                }
            }
        }
        const int goal = noise > 0 ? 2 : 1;
        const bool pass = worst >= 0 && worst <= goal && invented == 0;
        allPass = allPass && pass;
        char label[64];
        std::snprintf(label, sizeof label, "%s", noise > 0 ? "1 px clicks, 6 Hz" : "exact");
        std::printf("%-22s %11d fr %7s%d fr %8s", label, worst, "<= ", goal,
                    pass ? "PASS" : "FAIL");
        if (noise > 0) {
            std::printf("   (worst of %d seeds)", runs);
        }
        if (invented > 0) {
            std::printf("   %d events invented", invented);
        }
        std::printf("\n");
    }
    std::printf("\n%-22s %14s %10s %8s\n", "Parameter", "worst error", "goal", "result");
    for (std::size_t i = 0; i < std::size(kTolerances); ++i) {
        const Tolerance& t = kTolerances[i];
        const double deviation = worstParameter[i].second;
        const bool pass = deviation <= t.limit;
        allPass = allPass && pass;
        if (t.relative) {
            std::printf("%-22s %12.2f %% %8.0f %% %8s\n", t.name, 100 * deviation, 100 * t.limit,
                        pass ? "PASS" : "FAIL");
        } else {
            std::printf("%-22s %11.3f %-2s %7.3f %-2s %5s\n", t.name, deviation,
                        t.unit[0] == 's' ? "s" : "pt", t.limit, t.unit[0] == 's' ? "s" : "pt",
                        pass ? "PASS" : "FAIL");
        }
    }
    std::printf("\n%s\n", allPass ? "all figures reached" : "some figures not reached");
    return 0;
}

}  // namespace
}  // namespace kivra

int main(int argc, char** argv) {
    std::string sampleDir;
    int seeds = 20;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sample" && i + 1 < argc) {
            sampleDir = argv[++i];
        } else if (arg == "--seeds" && i + 1 < argc) {
            seeds = std::max(1, std::atoi(argv[++i]));
        } else {
            std::cerr << "usage: kivra-bench-gait [--sample DIR] [--seeds N]\n";
            return 2;
        }
    }
    if (sampleDir.empty()) {
        const std::string exeFolder = kivra::GetProgramFolder();
        if (exeFolder.empty()) {
            std::cerr << "cannot find this program's folder through /proc/self/exe\n";
            return 1;
        }
        sampleDir = (std::filesystem::path(exeFolder).parent_path() / "sample").string();
    }
    return kivra::Run(sampleDir, seeds);
}
