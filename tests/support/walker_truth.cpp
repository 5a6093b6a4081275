#include "support/walker_truth.h"

#include <fstream>
#include <sstream>
#include <string>

namespace kivra::test {

std::map<int, std::array<ImagePoint, kWalkerJoints>> ReadWalkerTruth() {
    std::map<int, std::array<ImagePoint, kWalkerJoints>> truth;
    std::ifstream in(std::string(KIVRA_BINARY_DIR) + "/sample/walker_truth.csv");
    std::string line;
    std::getline(in, line);  // header
    const std::map<std::string, size_t> ids = {{"head", 0}, {"hip", 1}, {"knee", 2}, {"ankle", 3}};
    while (std::getline(in, line)) {
        std::istringstream row(line);
        std::string frame, joint, x, y;
        std::getline(row, frame, ',');
        std::getline(row, joint, ',');
        std::getline(row, x, ',');
        std::getline(row, y, ',');
        truth[std::stoi(frame)][ids.at(joint)] = {std::stod(x), std::stod(y)};
    }
    return truth;
}

}  // namespace kivra::test
