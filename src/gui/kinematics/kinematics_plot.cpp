#include "kinematics/kinematics_plot.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QGraphicsLineItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "base/qt_user_messages.h"
#include "platform/replace_file.h"

namespace {

QString MarkerKey(int id) {
    return QStringLiteral("M%1").arg(id, 2, 10, QLatin1Char('0'));
}

const QColor kPalette[] = {QColor(31, 119, 180),  QColor(255, 127, 14),  QColor(44, 160, 44),
                           QColor(214, 39, 40),   QColor(148, 103, 189), QColor(140, 86, 75),
                           QColor(227, 119, 194), QColor(127, 127, 127), QColor(188, 189, 34),
                           QColor(23, 190, 207)};

struct Range {
    double low = 0.0;
    double high = 0.0;
    bool any = false;
    void Add(double v) {
        low = any ? std::min(low, v) : v;
        high = any ? std::max(high, v) : v;
        any = true;
    }
};

}  // namespace

CKinematicsPlotWnd::CKinematicsPlotWnd(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("CKinematicsPlotWnd"));
    setWindowTitle(tr("グラフ"));

    m_pChart = new QChart;
    m_pChart->legend()->setAlignment(Qt::AlignBottom);
    m_pAxisX = new QValueAxis(m_pChart);
    m_pAxisPosition = new QValueAxis(m_pChart);
    m_pAxisAngle = new QValueAxis(m_pChart);
    m_pAxisAngle->setTitleText(tr("角度 (°)"));
    m_pChart->addAxis(m_pAxisX, Qt::AlignBottom);
    m_pChart->addAxis(m_pAxisPosition, Qt::AlignLeft);
    m_pChart->addAxis(m_pAxisAngle, Qt::AlignRight);
    m_pLine = new QGraphicsLineItem(m_pChart);
    m_pLine->setPen(QPen(QColor(220, 0, 0), 1.5));
    m_pLine->setZValue(100);
    m_pLine->hide();

    m_pChartView = new QChartView(m_pChart, this);
    m_pChartView->setRenderHint(QPainter::Antialiasing);
    m_pChartView->viewport()->installEventFilter(this);
    m_pChartView->setMinimumSize(360, 240);

    m_pList = new QListWidget(this);
    m_pList->setObjectName(QStringLiteral("SeriesList"));
    connect(m_pList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (m_bFilling) {
            return;
        }
        m_bChoiceMade = true;
        Choose(item->data(Qt::UserRole).toString(), item->checkState() == Qt::Checked);
    });
    m_pMessage = new QLabel(this);
    m_pMessage->setWordWrap(true);
    m_pMessage->hide();
    auto* save = new QPushButton(tr("画像を保存(&S)..."), this);
    connect(save, &QPushButton::clicked, this, &CKinematicsPlotWnd::OnSave);

    auto* side = new QWidget(this);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(new QLabel(tr("表示する系列:"), side));
    sideLayout->addWidget(m_pList);
    sideLayout->addWidget(save);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(side);
    splitter->addWidget(m_pChartView);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({150, 600});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pMessage);
    layout->addWidget(splitter);

    connect(m_pChart, &QChart::plotAreaChanged, this, [this] { PlaceLine(); });
    connect(m_pAxisX, &QValueAxis::rangeChanged, this, [this] { PlaceLine(); });
    resize(820, 460);
}

void CKinematicsPlotWnd::SetTable(const kivra::KinematicsTable& table, int firstFrame,
                                  int lastFrame) {
    m_table = table;
    m_nFirst = firstFrame;
    m_nLast = std::max(firstFrame, lastFrame);
    m_pMessage->hide();
    RebuildList();
    RebuildSeries();
}

void CKinematicsPlotWnd::SetMessage(const QString& text) {
    m_table.reset();
    m_pMessage->setText(text);
    m_pMessage->setVisible(!text.isEmpty());
    RebuildList();
    RebuildSeries();
}

void CKinematicsPlotWnd::SetCurrentFrame(int frame) {
    if (frame != m_nCurrent) {
        m_nCurrent = frame;
        PlaceLine();
    }
}

double CKinematicsPlotWnd::XOf(int frame) const {
    return m_table && m_table->fps > 0.0 ? frame / m_table->fps : double(frame);
}

std::optional<int> CKinematicsPlotWnd::FrameAtX(double x) const {
    if (!m_table || !std::isfinite(x)) {
        return std::nullopt;
    }
    const double frame = m_table->fps > 0.0 ? x * m_table->fps : x;
    return static_cast<int>(std::clamp(std::lround(frame), long(m_nFirst), long(m_nLast)));
}

void CKinematicsPlotWnd::Choose(const QString& key, bool shown) {
    if (shown) {
        m_chosen.insert(key);
    } else {
        m_chosen.erase(key);
    }
    RebuildSeries();
}

void CKinematicsPlotWnd::RebuildList() {
    m_bFilling = true;
    m_pList->clear();
    if (m_table) {
        if (!m_bChoiceMade) {
            // At first the angles, or the first marker when there is no angle.
            m_chosen.clear();
            for (const kivra::AngleKinematics& a : m_table->angles) {
                m_chosen.insert(QString::fromStdString(a.name));
            }
            if (m_chosen.empty() && !m_table->markers.empty()) {
                m_chosen.insert(MarkerKey(m_table->markers.front().id));
            }
            m_bChoiceMade = !m_chosen.empty();
        }
        const auto add = [this](const QString& key, const QString& text) {
            auto* item = new QListWidgetItem(text, m_pList);
            item->setData(Qt::UserRole, key);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            item->setCheckState(m_chosen.contains(key) ? Qt::Checked : Qt::Unchecked);
        };
        for (const kivra::AngleKinematics& a : m_table->angles) {
            add(QString::fromStdString(a.name), tr("角度 %1").arg(QString::fromStdString(a.name)));
        }
        for (const kivra::MarkerKinematics& m : m_table->markers) {
            add(MarkerKey(m.id), QStringLiteral("%1 x, y").arg(MarkerKey(m.id)));
        }
    }
    m_bFilling = false;
}

void CKinematicsPlotWnd::RebuildSeries() {
    m_pChart->removeAllSeries();
    Range position;
    Range angle;
    int colour = 0;
    // One series per unbroken stretch of values, so a gap stays a gap; the legend names the
    // first of them only.
    const auto plot = [&](const std::vector<std::optional<double>>& values, const QString& name,
                          QValueAxis* axis, Range& range, Qt::PenStyle style) {
        if (!m_table) {
            return;
        }
        const QPen pen(kPalette[colour++ % std::size(kPalette)], 1.6, style);
        bool named = false;
        QLineSeries* series = nullptr;
        for (std::size_t r = 0; r < values.size(); ++r) {
            const bool joined =
                r > 0 && values[r - 1] && m_table->frames[r] == m_table->frames[r - 1] + 1;
            if (!values[r]) {
                continue;
            }
            if (series == nullptr || !joined) {
                series = new QLineSeries;
                series->setName(name);
                series->setPen(pen);
                m_pChart->addSeries(series);
                series->attachAxis(m_pAxisX);
                series->attachAxis(axis);
                for (QLegendMarker* marker : m_pChart->legend()->markers(series)) {
                    marker->setVisible(!named);
                }
                named = true;
            }
            series->append(XOf(m_table->frames[r]), *values[r]);
            range.Add(*values[r]);
        }
    };
    if (m_table) {
        for (const kivra::MarkerKinematics& m : m_table->markers) {
            const QString key = MarkerKey(m.id);
            if (m_chosen.contains(key)) {
                plot(m.x, key + QStringLiteral(" x"), m_pAxisPosition, position, Qt::SolidLine);
                plot(m.y, key + QStringLiteral(" y"), m_pAxisPosition, position, Qt::DashLine);
            }
        }
        for (const kivra::AngleKinematics& a : m_table->angles) {
            const QString key = QString::fromStdString(a.name);
            if (m_chosen.contains(key)) {
                plot(a.degrees, key, m_pAxisAngle, angle, Qt::SolidLine);
            }
        }
    }
    const bool rated = m_table && m_table->fps > 0.0;
    m_pAxisX->setTitleText(rated ? tr("時間 (s)") : tr("フレーム"));
    const double x0 = XOf(m_nFirst);
    const double x1 = XOf(m_nLast);
    m_pAxisX->setRange(x0, x1 > x0 ? x1 : x0 + 1.0);
    m_pAxisX->applyNiceNumbers();  // ticks on round times
    m_pAxisPosition->setTitleText(m_table && m_table->millimetres ? tr("位置 (mm)")
                                                                  : tr("位置 (pixel)"));
    const auto fit = [](QValueAxis* axis, const Range& r) {
        axis->setVisible(r.any);
        if (r.any) {
            const double margin = std::max(1.0, 0.05 * (r.high - r.low));
            axis->setRange(r.low - margin, r.high + margin);
            axis->applyNiceNumbers();
        }
    };
    fit(m_pAxisPosition, position);
    fit(m_pAxisAngle, angle);
    PlaceLine();
}

void CKinematicsPlotWnd::PlaceLine() {
    const QRectF area = m_pChart->plotArea();
    if (!m_table || m_nCurrent < m_nFirst || m_nCurrent > m_nLast || area.isEmpty() ||
        m_pAxisX->max() <= m_pAxisX->min()) {
        m_pLine->hide();
        return;
    }
    const double u = (XOf(m_nCurrent) - m_pAxisX->min()) / (m_pAxisX->max() - m_pAxisX->min());
    const double x = area.left() + u * area.width();
    m_pLine->setLine(x, area.top(), x, area.bottom());
    m_pLine->show();
}

std::optional<double> CKinematicsPlotWnd::CurrentFrameLineX() const {
    if (!m_pLine->isVisible()) {
        return std::nullopt;
    }
    const QPointF scene = m_pChart->mapToScene(m_pLine->line().p1());
    return m_pChartView->mapFromScene(scene).x();
}

std::optional<QPoint> CKinematicsPlotWnd::ViewportPointOfFrame(int frame) const {
    const QRectF area = m_pChart->plotArea();
    const double span = m_pAxisX->max() - m_pAxisX->min();
    if (!m_table || area.isEmpty() || span <= 0.0 || frame < m_nFirst || frame > m_nLast) {
        return std::nullopt;
    }
    const double x = area.left() + (XOf(frame) - m_pAxisX->min()) / span * area.width();
    return m_pChartView->mapFromScene(m_pChart->mapToScene(QPointF(x, area.center().y())));
}

bool CKinematicsPlotWnd::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pChartView->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPointF at =
            m_pChart->mapFromScene(m_pChartView->mapToScene(mouse->position().toPoint()));
        const QRectF area = m_pChart->plotArea();
        if (mouse->button() == Qt::LeftButton && area.contains(at) && area.width() > 0) {
            const double x = m_pAxisX->min() + (at.x() - area.left()) / area.width() *
                                                   (m_pAxisX->max() - m_pAxisX->min());
            if (const std::optional<int> frame = FrameAtX(x)) {
                emit frameRequested(*frame);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool CKinematicsPlotWnd::SaveImage(const QString& path) const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(m_pChartView->size());
        svg.setViewBox(QRect(QPoint(0, 0), m_pChartView->size()));
        svg.setTitle(windowTitle());
        QPainter painter;
        if (!painter.begin(&svg)) {
            return false;
        }
        m_pChartView->render(&painter);
        painter.end();
    } else if (!m_pChartView->grab().save(&buffer, "PNG")) {
        return false;
    }
    return kivra::ReplaceFileContents(QFile::encodeName(path).toStdString(),
                                      std::string_view(bytes.constData(), size_t(bytes.size())));
}

void CKinematicsPlotWnd::OnSave() {
    int filter = 1;
    const QString path = kivra::AskSaveFileName(
        this, "PNG file(*.png)|*.png|SVG file(*.svg)|*.svg||", QStringLiteral("png"), &filter);
    if (!path.isEmpty() && !SaveImage(path)) {
        QMessageBox::warning(this, windowTitle(), tr("グラフの保存に失敗しました。"));
    }
}
