#include "gait/compare_report.h"

#include <QCoreApplication>
#include <QPdfWriter>

#include <algorithm>

#include "gait/compare_report_pages.h"

namespace kivra {

std::optional<StillFrame> SharedStillFrame(const GaitAnalysis& before, const GaitAnalysis& after) {
    const std::vector<StillFrame> theirs = ReportStillFrames(after);
    for (const StillFrame& mine : ReportStillFrames(before)) {
        const auto same = std::find_if(theirs.begin(), theirs.end(), [&](const StillFrame& s) {
            return s.side == mine.side && s.kind == mine.kind;
        });
        if (same != theirs.end()) {
            return mine;
        }
    }
    return std::nullopt;
}

ReportStill CompareStill(const GaitAnalysis& analysis, const GaitAnalysisOptions& options,
                         const Workspace& workspace, const StillFrame& at,
                         const std::function<const Dib*(int frame)>& picture) {
    const auto event = [&at](const auto& s) { return s.side == at.side && s.kind == at.kind; };
    const std::vector<StillFrame> frames = ReportStillFrames(analysis);
    const auto wanted = std::find_if(frames.begin(), frames.end(), event);
    // Only the wanted frame is decoded; the other stills stay blank and are dropped.
    const int frame = wanted != frames.end() ? wanted->frame : -1;
    std::vector<ReportStill> stills = ReportStills(
        analysis, &options, workspace,
        [&](int n) -> const Dib* { return n == frame && picture ? picture(n) : nullptr; });
    const auto still = std::find_if(stills.begin(), stills.end(), event);
    if (still == stills.end()) {
        ReportStill blank;
        blank.side = at.side;
        blank.kind = at.kind;
        blank.frame = at.frame;
        return blank;
    }
    return std::move(*still);
}

std::optional<QString> WriteCompareReport(const QString& path, const CompareReportInput& input) {
    if (input.comparison == nullptr || input.before.analysis == nullptr ||
        input.after.analysis == nullptr) {
        return QCoreApplication::translate("CompareReport", "解析結果がありません");
    }
    return WriteA4Pdf(path, QCoreApplication::translate("CompareReport", "歩行分析 比較レポート"),
                      [&input](QPdfWriter& writer, QPainter& painter, int pages) {
                          return DrawCompareReportPages(writer, painter, input, pages);
                      });
}

}  // namespace kivra
