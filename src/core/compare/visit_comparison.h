#pragma once
// Two analysed visits of one patient side by side: what changed since the last visit, per
// parameter and side, with the sagittal profile scores of both, and its CSV file. Each visit's
// numbers are already physical (seconds, % of the cycle, millimetres with a calibration) and
// along its own walking direction, so visits filmed at other rates, scales or directions
// compare as they are.
#include <optional>
#include <string>
#include <vector>

#include "gait/gait_analysis.h"

namespace kivra {

// Which visit a column is: the video's file name and the visit's date ("2026-03-01").
struct VisitLabel {
    std::string fileName;
    std::string date;
};

// One row of the table: a parameter of one side ("R", "L"; "Both" for those of the walk as a
// whole). Difference is after minus before; percent change is the difference over before,
// empty when before is 0 or either value is missing, when the units differ, and for values
// that are per cents themselves (stance, symmetry), whose change is the difference in points.
struct ComparisonRow {
    std::string parameter;  // "StrideLength", "RangeOfMotion_knee", "SagittalProfileScore"
    std::string side;       // "R", "L" or "Both"
    std::string unit;       // "mm/px" when the visits measured in different units
    std::optional<double> before, after, difference, percentChange;
};

// Built by CompareVisits; read by the report and FormatComparisonCsv.
struct VisitComparison {
    VisitLabel before, after;
    std::vector<ComparisonRow> rows;
    ProfileDeviation beforeDeviation, afterDeviation;
    // One visit in millimetres and the other in pixels: their lengths have no difference.
    bool lengthUnitsDiffer = false;
};

// The summary parameters in their order (R and L rows for those measured per side, else one
// "Both" row), then each angle's range of motion over its mean cycle per side (angles matched
// by their cycles.csv column), then the sagittal profile scores when either visit has one.
VisitComparison CompareVisits(const GaitAnalysis& before, const GaitAnalysis& after,
                              VisitLabel beforeLabel, VisitLabel afterLabel);

// The range of motion (largest minus smallest value) of a mean cycle curve.
double RangeOfMotion(const CycleCurve& curve);

// "Parameter,Side,Unit,Before,After,Difference,PercentChange", the rows "File" and "Date"
// naming the visits in the Before and After columns, then a row per comparison row; decimal
// points in every locale, CR LF line ends, empty fields where there is no value.
std::string FormatComparisonCsv(const VisitComparison& comparison);
// Replaces the file in one step; false leaves an old one as it was.
bool WriteComparisonCsv(const std::string& path, const VisitComparison& comparison);

// The file's modification date on this machine's calendar ("2026-03-01"); empty when the file
// cannot be read.
std::string FileDate(const std::string& path);
// A date given as YYYY-MM-DD with a month and day that exist.
bool IsIsoDate(const std::string& text);

}  // namespace kivra
