#include "gait/gait_cycle_plot.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace kivra {
namespace {

const QColor kSideColour[2] = {QColor(200, 40, 40), QColor(30, 90, 200)};

int Index(FootSide side) {
    return side == FootSide::kRight ? 0 : 1;
}

}  // namespace

GaitCyclePlot::GaitCyclePlot(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("GaitCyclePlot"));
    setWindowTitle(tr("歩行周期グラフ"));
    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_axisX = new QValueAxis(m_chart);
    m_axisX->setRange(0, 100);
    m_axisX->setTickCount(11);
    m_axisX->setLabelFormat(QStringLiteral("%d"));
    m_axisX->setTitleText(tr("歩行周期 (%)"));
    m_axisY = new QValueAxis(m_chart);
    m_axisY->setTitleText(tr("角度 (°)"));
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);
    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumSize(360, 240);
    m_angles = new QComboBox(this);
    m_angles->setObjectName(QStringLiteral("AngleChoice"));
    connect(m_angles, &QComboBox::currentIndexChanged, this, [this] { Rebuild(); });
    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    m_message->hide();
    m_deviation = new QLabel(this);
    m_deviation->setObjectName(QStringLiteral("BandDeviation"));
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("角度:"), this));
    top->addWidget(m_angles, 1);
    top->addWidget(m_deviation);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_message);
    layout->addWidget(m_view, 1);
    resize(760, 480);
}

void GaitCyclePlot::SetAnalysis(const GaitAnalysis& analysis) {
    const QString shown = ShownAngle();
    m_analysis = analysis;
    m_message->hide();
    {
        const QSignalBlocker quiet(m_angles);
        m_angles->clear();
        for (const AngleCycles& cycles : analysis.cycles) {
            m_angles->addItem(QString::fromStdString(cycles.name));
        }
        const int again = m_angles->findText(shown);
        m_angles->setCurrentIndex(again >= 0 ? again : 0);
    }
    if (analysis.cycles.empty()) {
        SetMessage(tr("角度が定義されていません。角度の設定で関節角度を定義してください。"));
        return;
    }
    Rebuild();
}

void GaitCyclePlot::SetMessage(const QString& text) {
    m_deviation->clear();
    m_message->setText(text);
    m_message->show();
    m_chart->removeAllSeries();
    m_cursor[0] = m_cursor[1] = nullptr;
}

bool GaitCyclePlot::ShowAngle(const QString& name) {
    const int index = m_angles->findText(name);
    if (index < 0) {
        return false;
    }
    m_angles->setCurrentIndex(index);
    return true;
}

QString GaitCyclePlot::ShownAngle() const {
    return m_angles->currentText();
}

std::optional<double> GaitCyclePlot::CursorPercent(FootSide side) const {
    return m_cursorPercent[Index(side)];
}

void GaitCyclePlot::SetCurrentFrame(int frame) {
    m_frame = frame;
    PlaceCursors();
}

void GaitCyclePlot::Rebuild() {
    m_chart->removeAllSeries();
    m_deviation->clear();
    m_cursor[0] = m_cursor[1] = nullptr;
    if (!m_analysis || m_angles->currentIndex() < 0 ||
        m_angles->currentIndex() >= static_cast<int>(m_analysis->cycles.size())) {
        return;
    }
    const AngleCycles& cycles =
        m_analysis->cycles[static_cast<std::size_t>(m_angles->currentIndex())];
    double low = 1e300;
    double high = -1e300;
    const auto widen = [&](double v) {
        low = std::min(low, v);
        high = std::max(high, v);
    };
    const auto attach = [&](QAbstractSeries* series) {
        m_chart->addSeries(series);
        series->attachAxis(m_axisX);
        series->attachAxis(m_axisY);
    };
    const auto band = [&](const CycleCurve& mean, const CycleCurve& sd, const QColor& fill,
                          const QString& name) {
        auto* upper = new QLineSeries;
        auto* lower = new QLineSeries;
        for (int p = 0; p < kCyclePoints; ++p) {
            upper->append(p, mean[p] + sd[p]);
            lower->append(p, mean[p] - sd[p]);
            widen(mean[p] + sd[p]);
            widen(mean[p] - sd[p]);
        }
        auto* area = new QAreaSeries(upper, lower);
        upper->setParent(area);
        lower->setParent(area);
        area->setName(name);
        area->setBrush(fill);
        area->setPen(Qt::NoPen);
        attach(area);
    };
    // Only this angle's bands; one band for both sides is drawn once.
    const NormalBand* bands[2] = {BandFor(m_analysis->bands, cycles, FootSide::kRight),
                                  BandFor(m_analysis->bands, cycles, FootSide::kLeft)};
    QStringList deviations;
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const NormalBand* own = bands[Index(side)];
        const QString sideName = side == FootSide::kRight ? tr("右") : tr("左");
        if (own == nullptr) {
            continue;
        }
        if (side == FootSide::kRight || own != bands[0]) {
            // Grey, apart from the sides' own SD bands; a side's own band only when the sides
            // have different ones.
            const NormalBand* other = bands[1 - Index(side)];
            const bool named = other != nullptr && other != own;
            band(own->band.mean, own->band.sd,
                 side == FootSide::kLeft && named ? QColor(90, 90, 110, 70)
                                                  : QColor(150, 150, 150, 80),
                 named ? tr("基準範囲 %1").arg(sideName) : tr("基準範囲"));
        }
        const std::string column = CycleColumnName(cycles, side);
        for (const BandDeviation& d : m_analysis->deviation.angles) {
            if (d.column == column) {
                deviations << QStringLiteral("%1 %2°").arg(sideName).arg(d.rmsDegrees, 0, 'f', 1);
            }
        }
    }
    m_deviation->setText(
        deviations.isEmpty()
            ? QString()
            : tr("基準範囲からの偏差 (RMS): %1").arg(deviations.join(QStringLiteral("  "))));
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const SideCycles& c = side == FootSide::kRight ? cycles.right : cycles.left;
        const QColor colour = kSideColour[Index(side)];
        const QString sideName = side == FootSide::kRight ? tr("右") : tr("左");
        if (c.mean && c.sd) {
            QColor light = colour;
            light.setAlpha(45);
            band(*c.mean, *c.sd, light, sideName + tr(" ±SD"));
        }
        QColor faint = colour;
        faint.setAlpha(70);
        for (const CycleCurve& stride : c.strides) {
            auto* line = new QLineSeries;
            for (int p = 0; p < kCyclePoints; ++p) {
                line->append(p, stride[p]);
                widen(stride[p]);
            }
            line->setPen(QPen(faint, 1.0));
            attach(line);
            m_chart->legend()->markers(line).front()->setVisible(false);
        }
        if (c.mean) {
            auto* mean = new QLineSeries;
            mean->setName(sideName + tr(" 平均"));
            for (int p = 0; p < kCyclePoints; ++p) {
                mean->append(p, (*c.mean)[p]);
            }
            mean->setPen(QPen(colour, 2.5));
            attach(mean);
        }
    }
    if (low > high) {
        low = 0;
        high = 180;
    }
    low = std::floor(low / 10.0) * 10.0;
    high = std::max(std::ceil(high / 10.0) * 10.0, low + 10.0);
    m_axisY->setRange(low, high);
    // Where swing begins on each side, and the current frame's place: vertical lines.
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const SideCycles& c = side == FootSide::kRight ? cycles.right : cycles.left;
        if (c.stancePercent) {
            auto* line = new QLineSeries;
            line->append(*c.stancePercent, low);
            line->append(*c.stancePercent, high);
            line->setPen(QPen(kSideColour[Index(side)], 1.0, Qt::DashLine));
            attach(line);
            m_chart->legend()->markers(line).front()->setVisible(false);
        }
        auto* cursor = new QLineSeries;
        cursor->setPen(QPen(kSideColour[Index(side)].darker(150), 1.5, Qt::DotLine));
        attach(cursor);
        m_chart->legend()->markers(cursor).front()->setVisible(false);
        m_cursor[Index(side)] = cursor;
    }
    PlaceCursors();
}

void GaitCyclePlot::PlaceCursors() {
    for (const FootSide side : {FootSide::kRight, FootSide::kLeft}) {
        const int i = Index(side);
        m_cursorPercent[i] = m_analysis && m_frame >= 0
                                 ? CyclePosition(m_analysis->parameters.strides, side, m_frame)
                                 : std::nullopt;
        if (m_cursor[i] == nullptr) {
            continue;
        }
        if (m_cursorPercent[i]) {
            m_cursor[i]->replace(QList<QPointF>{{*m_cursorPercent[i], m_axisY->min()},
                                                {*m_cursorPercent[i], m_axisY->max()}});
        } else {
            m_cursor[i]->clear();
        }
    }
}

}  // namespace kivra
