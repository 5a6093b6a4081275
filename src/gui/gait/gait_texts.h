#pragma once
// The gait analysis's words for the user, in the interface language: parameter names and units,
// statistics, strides left out, warnings. Shared by the gait window and the report.
#include <QString>
#include <QStringList>

#include <string>

#include "gait/gait_analysis.h"

namespace kivra {

// A summary parameter's name for the user ("StrideTime": stride time), and a statistic as
// "mean ± SD" with the decimals its unit wants (DecimalsOf), "–" without a mean.
QString ParameterLabel(const std::string& name);
// A summary unit as the user reads it ("steps/min": 歩/分, "deg": °); the others are symbols.
QString UnitLabel(const std::string& unit);
int DecimalsOf(const std::string& unit);
QString StatisticText(const Statistic& s, int decimals);

// "右" / "左" in the interface language.
QString ReportSideLabel(FootSide side);
// A sagittal joint's name ("knee": 膝関節); other names as they are.
QString JointLabel(const std::string& base);

// "右 45-78: 右の踵マーカの欠落 (フレーム 57-60)": a stride left out and why, for the user.
QString LeftOutText(const LeftOutStride& stride);
// A warning that the measurement may not hold, for the user; empty for those AnalysisNotes
// lists stride by stride.
QString GaitWarningText(const GaitWarning& warning);
// Why a foot gives no stride, for the user.
QString FootWithoutStridesText(const FootWithoutStrides& foot);
// The feet without strides and the strides left out (the first `strides` of them named), one
// line each; empty when the analysis leaves nothing out.
QStringList AnalysisNotes(const GaitAnalysis& analysis, std::size_t strides);

}  // namespace kivra
