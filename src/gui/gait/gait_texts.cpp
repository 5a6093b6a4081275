#include "gait/gait_texts.h"

#include <QCoreApplication>
#include <QLocale>

#include <cmath>

namespace kivra {

// The summary's parameters as the report names them.
QString ParameterLabel(const std::string& name) {
    static const std::pair<const char*, const char*> kLabels[] = {
        {"StrideTime", QT_TRANSLATE_NOOP("GaitReport", "ストライド時間")},
        {"StepTime", QT_TRANSLATE_NOOP("GaitReport", "ステップ時間")},
        {"StanceTime", QT_TRANSLATE_NOOP("GaitReport", "立脚時間")},
        {"SwingTime", QT_TRANSLATE_NOOP("GaitReport", "遊脚時間")},
        {"StancePercent", QT_TRANSLATE_NOOP("GaitReport", "立脚期")},
        {"SwingPercent", QT_TRANSLATE_NOOP("GaitReport", "遊脚期")},
        {"DoubleSupportPercent", QT_TRANSLATE_NOOP("GaitReport", "両脚支持期")},
        {"StrideLength", QT_TRANSLATE_NOOP("GaitReport", "ストライド長")},
        {"StepLength", QT_TRANSLATE_NOOP("GaitReport", "ステップ長")},
        {"Cadence", QT_TRANSLATE_NOOP("GaitReport", "ケイデンス")},
        {"Speed", QT_TRANSLATE_NOOP("GaitReport", "歩行速度")},
        {"StepTimeSymmetry", QT_TRANSLATE_NOOP("GaitReport", "ステップ時間の対称性指数")},
        {"StepLengthSymmetry", QT_TRANSLATE_NOOP("GaitReport", "ステップ長の対称性指数")},
        // The front view's.
        {"StepWidth", QT_TRANSLATE_NOOP("GaitReport", "歩隔")},
        {"PelvicObliquityRange", QT_TRANSLATE_NOOP("GaitReport", "骨盤傾斜の範囲")},
        {"KneeFrontalPeak", QT_TRANSLATE_NOOP("GaitReport", "膝の外反の最大値")},
        {"TrunkLeanRange", QT_TRANSLATE_NOOP("GaitReport", "体幹側屈の範囲")}};
    for (const auto& [key, label] : kLabels) {
        if (name == key) {
            return QCoreApplication::translate("GaitReport", label);
        }
    }
    return QString::fromStdString(name);
}

QString ReportSideLabel(FootSide side) {
    return side == FootSide::kRight ? QCoreApplication::translate("GaitReport", "右")
                                    : QCoreApplication::translate("GaitReport", "左");
}

QString JointLabel(const std::string& base) {
    if (base == "hip") {
        return QCoreApplication::translate("GaitReport", "股関節");
    }
    if (base == "knee") {
        return QCoreApplication::translate("GaitReport", "膝関節");
    }
    if (base == "ankle") {
        return QCoreApplication::translate("GaitReport", "足関節");
    }
    return QString::fromStdString(base);
}

QString LeftOutText(const LeftOutStride& stride) {
    const QString frames = QStringLiteral("%1 %2-%3")
                               .arg(ReportSideLabel(stride.side))
                               .arg(stride.startFrame)
                               .arg(stride.endFrame);
    if (stride.why == LeftOutStride::kPattern) {
        return QCoreApplication::translate(
                   "GaitReport",
                   "%1: イベントが歩行の順序 (踵接地、反対側の離地、反対側の踵接地、"
                   "離地、踵接地) に沿っていません")
            .arg(frames);
    }
    const QString marker = stride.gapInToe
                               ? QCoreApplication::translate("GaitReport", "%1のつま先マーカ")
                               : QCoreApplication::translate("GaitReport", "%1の踵マーカ");
    return QCoreApplication::translate("GaitReport", "%1: %2の欠落 (フレーム %3-%4)")
        .arg(frames, marker.arg(ReportSideLabel(stride.gapSide)))
        .arg(stride.gapFirst)
        .arg(stride.gapLast);
}

QString FootWithoutStridesText(const FootWithoutStrides& foot) {
    const QString side = foot.side == FootSide::kRight
                             ? QCoreApplication::translate("GaitReport", "右足")
                             : QCoreApplication::translate("GaitReport", "左足");
    if (foot.why == FootWithoutStrides::kTooFewFrames) {
        return QCoreApplication::translate(
                   "GaitReport",
                   "%1からはストライドが得られません: マーカが再生範囲で続けて %2 "
                   "フレームしかなく、立脚期を見るには %3 フレーム必要です。")
            .arg(side)
            .arg(foot.longestRun)
            .arg(foot.neededRun);
    }
    return QCoreApplication::translate(
               "GaitReport",
               "%1からはストライドが得られません: 再生範囲の踵接地が %2 回で、"
               "ストライドには離地を挟んだ 2 回が必要です。")
        .arg(side)
        .arg(foot.strikes);
}

QString GaitWarningText(const GaitWarning& warning) {
    const QString foot = warning.side == FootSide::kRight
                             ? QCoreApplication::translate("GaitReport", "右足")
                             : QCoreApplication::translate("GaitReport", "左足");
    switch (warning.code) {
        case GaitWarning::kPixels:
            return QCoreApplication::translate(
                "GaitReport", "長さはピクセル単位です: 動画にキャリブレーションがありません。");
        case GaitWarning::kFewStrides:
            return QCoreApplication::translate(
                       "GaitReport",
                       "%1のストライドは %2 件です。%3 件未満ではばらつきを読めません。")
                .arg(foot)
                .arg(warning.count)
                .arg(kFewStridesPerSide);
        case GaitWarning::kLowFrameRate:
            return QCoreApplication::translate(
                       "GaitReport",
                       "1 ステップが %1 フレームしかなく、半フレームのずれがステップの %2 % に"
                       "なります。")
                .arg(warning.value, 0, 'f', 1)
                .arg(50.0 / warning.value, 0, 'f', 0);
        case GaitWarning::kVariableFrameRate:
            return QCoreApplication::translate(
                       "GaitReport",
                       "元の動画のフレームレートが一定ではありません: %1 フレーム中 %2 "
                       "フレームが前と"
                       "同じ画像で、%3 枚の画像が %4 フレーム/秒の間に落ちています。そこでは時間と"
                       "速度が 1 フレームずれることがあります。")
                .arg(warning.count)
                .arg(warning.repeated)
                .arg(warning.skipped)
                .arg(warning.value, 0, 'f', 3);
        case GaitWarning::kOutOfPlane:
            if (!warning.segment.empty()) {
                return (warning.towards ? QCoreApplication::translate(
                                              "GaitReport",
                                              "体節 %1 の長さがストライドにより %2 % 変わります: "
                                              "カメラに近づくか遠ざかって歩いています。")
                                        : QCoreApplication::translate(
                                              "GaitReport",
                                              "体節 %1 の長さがストライドにより %2 % 変わります: "
                                              "カメラが捉える面から外れています。"))
                    .arg(QString::fromStdString(warning.segment))
                    .arg(warning.value, 0, 'f', 0);
            }
            return (warning.towards
                        ? QCoreApplication::translate("GaitReport",
                                                      "%1の長さがストライドにより %2 % 変わります: "
                                                      "カメラに近づくか遠ざかって歩いています。")
                        : QCoreApplication::translate("GaitReport",
                                                      "%1の長さがストライドにより %2 % 変わります: "
                                                      "カメラが捉える面から外れています。"))
                .arg(foot)
                .arg(warning.value, 0, 'f', 0);
        case GaitWarning::kMarkerGaps:
        case GaitWarning::kStridesLeftOut:
            break;  // the strides left out are listed one by one
    }
    return {};
}

QStringList AnalysisNotes(const GaitAnalysis& analysis, std::size_t strides) {
    QStringList notes;
    for (const GaitWarning& warning : analysis.warnings) {
        if (const QString text = GaitWarningText(warning); !text.isEmpty()) {
            notes << text;
        }
    }
    for (const FootWithoutStrides& foot : analysis.feetWithoutStrides) {
        notes << FootWithoutStridesText(foot);
    }
    const auto& leftOut = analysis.parameters.leftOut;
    if (!leftOut.empty()) {
        notes << QCoreApplication::translate("GaitReport", "除外したストライド: %1")
                     .arg(leftOut.size());
        for (std::size_t i = 0; i < leftOut.size() && i < strides; ++i) {
            notes << QStringLiteral("  ") + LeftOutText(leftOut[i]);
        }
        if (leftOut.size() > strides) {
            notes << QStringLiteral("  ") + QCoreApplication::translate("GaitReport", "ほか %1 件")
                                                .arg(leftOut.size() - strides);
        }
    }
    return notes;
}

QString StatisticText(const Statistic& s, int decimals) {
    if (!s.mean) {
        return QStringLiteral("–");
    }
    const QLocale c = QLocale::c();
    QString text = c.toString(*s.mean, 'f', decimals);
    if (s.sd) {
        text += QStringLiteral(" ± ") + c.toString(*s.sd, 'f', decimals);
    }
    return text;
}

QString UnitLabel(const std::string& unit) {
    if (unit == "steps/min") {
        return QCoreApplication::translate("GaitReport", "歩/分");
    }
    if (unit == "deg") {
        return QStringLiteral("°");
    }
    return QString::fromStdString(unit);
}

int DecimalsOf(const std::string& unit) {
    if (unit == "s") {
        return 3;
    }
    if (unit == "mm" || unit == "px" || unit == "mm/s" || unit == "px/s") {
        return 0;
    }
    return 1;
}

}  // namespace kivra
