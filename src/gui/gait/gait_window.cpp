#include "gait/gait_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gait/gait_cycle_plot.h"
#include "gait/gait_texts.h"

namespace kivra {
namespace {

QTableWidget* MakeTable(QWidget* parent, const QStringList& headings) {
    auto* table = new QTableWidget(0, int(headings.size()), parent);
    table->setHorizontalHeaderLabels(headings);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QTableWidgetItem* Cell(const QString& text, Qt::Alignment align = Qt::AlignLeft) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(align | Qt::AlignVCenter);
    return item;
}

}  // namespace

GaitWindow::GaitWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("GaitWindow"));
    setWindowTitle(tr("歩行分析"));
    m_status = new QLabel(this);
    m_notes = new QLabel(this);
    m_notes->setObjectName(QStringLiteral("GaitNotes"));
    m_notes->setWordWrap(true);
    m_notes->setStyleSheet(QStringLiteral("color: #a82814;"));
    m_notes->hide();
    m_status->setWordWrap(true);
    auto* feet = new QPushButton(tr("足のマーカ(&E)..."), this);
    auto* reference = new QPushButton(tr("基準範囲(&N)"), this);
    reference->setToolTip(
        tr("正常歩行の基準範囲 (Angle,Percent,Mean,SD または Percent,Mean,SD の CSV) を、その角度の"
           "グラフに重ねます"));
    auto* bands = new QMenu(reference);
    bands->addAction(tr("基準範囲を追加(&A)..."), this, &GaitWindow::referenceRequested);
    m_clearBands =
        bands->addAction(tr("基準範囲をすべて外す(&C)"), this, &GaitWindow::referencesCleared);
    m_clearBands->setEnabled(false);
    reference->setMenu(bands);
    m_detect = new QPushButton(tr("再検出(&D)"), this);
    m_report = new QPushButton(tr("レポート作成(&P)..."), this);
    m_header = new QPushButton(tr("患者・検査情報(&I)..."), this);
    connect(feet, &QPushButton::clicked, this, &GaitWindow::footMarkersRequested);
    connect(m_detect, &QPushButton::clicked, this, &GaitWindow::detectRequested);
    connect(m_report, &QPushButton::clicked, this, &GaitWindow::reportRequested);
    connect(m_header, &QPushButton::clicked, this, &GaitWindow::headerRequested);
    auto* top = new QHBoxLayout;
    top->addWidget(m_status, 1);
    top->addWidget(feet);
    top->addWidget(reference);
    top->addWidget(m_detect);
    top->addWidget(m_header);
    top->addWidget(m_report);

    auto* left = new QWidget(this);
    m_events = MakeTable(left, {tr("フレーム"), tr("時間 (s)"), tr("足"), tr("イベント")});
    m_events->setObjectName(QStringLiteral("GaitEvents"));
    connect(m_events, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row >= 0 && row < int(m_shown.size())) {
            emit frameRequested(m_shown[std::size_t(row)].frame);
        }
        UpdateButtons();
    });
    // The selection follows the current cell only after it changed.
    connect(m_events, &QTableWidget::itemSelectionChanged, this, &GaitWindow::UpdateButtons);
    m_side = new QComboBox(left);
    m_side->addItem(tr("右"));
    m_side->addItem(tr("左"));
    m_kind = new QComboBox(left);
    m_kind->addItem(tr("踵接地 (HS)"));
    m_kind->addItem(tr("つま先離地 (TO)"));
    m_add = new QPushButton(tr("追加(&A)"), left);
    m_add->setToolTip(tr("選んだ足とイベントを表示フレームに追加します"));
    m_move = new QPushButton(tr("表示フレームへ移動(&M)"), left);
    m_delete = new QPushButton(tr("削除(&X)"), left);
    connect(m_add, &QPushButton::clicked, this, [this] {
        GaitEvent event;
        event.frame = m_frame;
        event.moment = m_frame;
        event.side = m_side->currentIndex() == 0 ? FootSide::kRight : FootSide::kLeft;
        event.kind =
            m_kind->currentIndex() == 0 ? GaitEventKind::kHeelStrike : GaitEventKind::kToeOff;
        emit addRequested(event);
    });
    connect(m_move, &QPushButton::clicked, this, [this] {
        if (const auto event = SelectedEvent()) {
            emit moveRequested(*event, m_frame);
        }
    });
    connect(m_delete, &QPushButton::clicked, this, [this] {
        if (const auto event = SelectedEvent()) {
            emit deleteRequested(*event);
        }
    });
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(m_side);
    addRow->addWidget(m_kind, 1);
    addRow->addWidget(m_add);
    auto* editRow = new QHBoxLayout;
    editRow->addWidget(m_move, 1);
    editRow->addWidget(m_delete);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(m_events, 1);
    leftLayout->addLayout(addRow);
    leftLayout->addLayout(editRow);

    auto* tabs = new QTabWidget(this);
    m_parameters = MakeTable(tabs, {tr("項目"), tr("単位"), tr("両側"), tr("右"), tr("左")});
    m_parameters->setObjectName(QStringLiteral("GaitParameters"));
    m_plot = new GaitCyclePlot(tabs);
    m_plot->setWindowFlags(Qt::Widget);  // a page of the tabs, not a window of its own
    tabs->addTab(m_parameters, tr("パラメータ"));
    tabs->addTab(m_plot, tr("歩行周期グラフ"));
    // The front view filmed with this one, paired by its .ksync.
    auto* front = new QWidget(tabs);
    m_frontalLabel = new QLabel(front);
    m_frontalLabel->setWordWrap(true);
    auto* frontMarkers = new QPushButton(tr("正面のマーカ(&F)..."), front);
    frontMarkers->setObjectName(QStringLiteral("GaitFrontalMarkers"));
    connect(frontMarkers, &QPushButton::clicked, this, &GaitWindow::frontalMarkersRequested);
    m_frontalTable = MakeTable(front, {tr("項目"), tr("単位"), tr("両側"), tr("右"), tr("左")});
    m_frontalTable->setObjectName(QStringLiteral("GaitFrontalParameters"));
    m_frontalPlot = new GaitCyclePlot(front);
    m_frontalPlot->setWindowFlags(Qt::Widget);
    auto* frontTop = new QHBoxLayout;
    frontTop->addWidget(m_frontalLabel, 1);
    frontTop->addWidget(frontMarkers);
    auto* frontLayout = new QVBoxLayout(front);
    frontLayout->addLayout(frontTop);
    frontLayout->addWidget(m_frontalTable);
    frontLayout->addWidget(m_frontalPlot, 2);
    tabs->addTab(front, tr("前額面"));
    SetFrontal(nullptr, {}, tr("正面の動画はありません"));

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(left);
    split->addWidget(tabs);
    split->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_notes);
    layout->addWidget(split, 1);
    resize(1000, 560);
    split->setSizes({340, 660});
    UpdateButtons();
}

void GaitWindow::SetAnalysis(const GaitAnalysis& analysis, bool edited) {
    int right = 0;
    int left = 0;
    for (const StrideParameters& s : analysis.parameters.strides) {
        ++(s.side == FootSide::kRight ? right : left);
    }
    m_status->setText((edited ? tr("イベント %1 件 (編集済み)") : tr("イベント %1 件 (自動検出)"))
                          .arg(analysis.events.size()) +
                      QStringLiteral("  ") + tr("ストライド: 右 %1、左 %2").arg(right).arg(left) +
                      (analysis.parameters.millimetres
                           ? QString()
                           : QStringLiteral("  ") + tr("(長さはピクセル)")));
    const QStringList notes = AnalysisNotes(analysis, 5);
    m_notes->setText(notes.join(QLatin1Char('\n')));
    m_notes->setVisible(!notes.isEmpty());
    ShowEvents(analysis.events, analysis.fps);
    ShowParameters(&analysis.parameters, &analysis.deviation);
    m_clearBands->setEnabled(!analysis.bands.empty());
    m_plot->SetAnalysis(analysis);
    m_plot->SetCurrentFrame(m_frame);
}

void GaitWindow::SetMessage(const QString& text, const std::vector<GaitEvent>& events, double fps) {
    m_status->setText(text);
    m_notes->clear();
    m_notes->hide();
    ShowEvents(events, fps);
    ShowParameters(nullptr, nullptr);
    m_plot->SetMessage(text);
}

void GaitWindow::SetFrontal(const GaitAnalysis* view, const std::vector<ParameterSummary>& summary,
                            const QString& message) {
    m_frontalLabel->setText(message);
    m_frontalTable->clearContents();
    m_frontalTable->setRowCount(int(summary.size()));
    int row = 0;
    for (const ParameterSummary& p : summary) {
        const int decimals = p.unit == "deg" ? 1 : DecimalsOf(p.unit);
        m_frontalTable->setItem(row, 0, Cell(ParameterLabel(p.name)));
        m_frontalTable->setItem(row, 1, Cell(UnitLabel(p.unit)));
        const Statistic* values[] = {&p.both, &p.right, &p.left};
        for (int c = 0; c < 3; ++c) {
            m_frontalTable->setItem(row, 2 + c,
                                    Cell(StatisticText(*values[c], decimals), Qt::AlignRight));
        }
        ++row;
    }
    if (view != nullptr) {
        m_frontalPlot->SetAnalysis(*view);
        m_frontalPlot->SetCurrentFrame(m_frame);
    } else {
        m_frontalPlot->SetMessage(message);
    }
}

void GaitWindow::SetCurrentFrame(int frame) {
    m_frame = frame;
    m_plot->SetCurrentFrame(frame);
    m_frontalPlot->SetCurrentFrame(frame);
    UpdateButtons();
}

std::optional<GaitEvent> GaitWindow::SelectedEvent() const {
    const int row = m_events->currentRow();
    if (row < 0 || row >= int(m_shown.size()) || m_events->selectedItems().isEmpty()) {
        return std::nullopt;
    }
    return m_shown[std::size_t(row)];
}

void GaitWindow::SelectEvent(const GaitEvent& event) {
    const auto it = std::find(m_shown.begin(), m_shown.end(), event);
    if (it != m_shown.end()) {
        const QSignalBlocker quiet(m_events);  // the frame is where the user is already
        m_events->selectRow(int(it - m_shown.begin()));
    }
    UpdateButtons();
}

void GaitWindow::ShowEvents(const std::vector<GaitEvent>& events, double fps) {
    const std::optional<GaitEvent> selected = SelectedEvent();
    const QSignalBlocker quiet(m_events);
    m_shown = events;
    m_events->clearContents();
    m_events->setRowCount(int(events.size()));
    const QLocale c = QLocale::c();
    for (int row = 0; row < int(events.size()); ++row) {
        const GaitEvent& e = events[std::size_t(row)];
        m_events->setItem(row, 0, Cell(QString::number(e.frame), Qt::AlignRight));
        m_events->setItem(
            row, 1, Cell(fps > 0 ? c.toString(e.moment / fps, 'f', 3) : QString(), Qt::AlignRight));
        m_events->setItem(row, 2, Cell(e.side == FootSide::kRight ? tr("右") : tr("左")));
        m_events->setItem(row, 3, Cell(QString::fromLatin1(EventName(e.kind))));
    }
    if (selected) {
        SelectEvent(*selected);
    }
    UpdateButtons();
}

void GaitWindow::ShowParameters(const GaitParameters* parameters,
                                const ProfileDeviation* deviation) {
    m_parameters->clearContents();
    m_parameters->setRowCount(0);
    if (parameters == nullptr) {
        return;
    }
    const std::size_t deviations =
        deviation == nullptr || !deviation->score ? 0 : deviation->angles.size() + 1;
    m_parameters->setRowCount(int(parameters->summary.size() + deviations));
    int row = 0;
    for (const ParameterSummary& p : parameters->summary) {
        const int decimals = DecimalsOf(p.unit);
        m_parameters->setItem(row, 0, Cell(ParameterLabel(p.name)));
        m_parameters->setItem(row, 1, Cell(UnitLabel(p.unit)));
        const Statistic* columns[] = {&p.both, &p.right, &p.left};
        for (int i = 0; i < 3; ++i) {
            // Cadence, speed and the symmetry indices exist for both sides together only.
            const bool perSide = i == 0 || p.right.count > 0 || p.left.count > 0;
            m_parameters->setItem(
                row, 2 + i,
                Cell(perSide ? StatisticText(*columns[i], decimals) : QString(), Qt::AlignRight));
        }
        ++row;
    }
    if (deviations == 0) {
        return;
    }
    // How far each banded mean curve lies from its band, in the column of its side.
    const QLocale c = QLocale::c();
    const auto degrees = [&](const std::optional<double>& v) {
        return v ? c.toString(*v, 'f', 1) : QString();
    };
    for (const BandDeviation& d : deviation->angles) {
        m_parameters->setItem(
            row, 0, Cell(tr("基準範囲からの偏差 (RMS) %1").arg(QString::fromStdString(d.column))));
        m_parameters->setItem(row, 1, Cell(UnitLabel("deg")));
        m_parameters->setItem(row, d.side == FootSide::kRight ? 3 : 4,
                              Cell(degrees(d.rmsDegrees), Qt::AlignRight));
        ++row;
    }
    QTableWidgetItem* score = Cell(tr("矢状面プロファイルスコア"));
    score->setToolTip(tr("基準範囲のある角度の偏差の二乗平均平方根 (9 変数の GPS ではありません)"));
    m_parameters->setItem(row, 0, score);
    m_parameters->setItem(row, 1, Cell(UnitLabel("deg")));
    m_parameters->setItem(row, 2, Cell(degrees(deviation->score), Qt::AlignRight));
    m_parameters->setItem(row, 3, Cell(degrees(deviation->scoreRight), Qt::AlignRight));
    m_parameters->setItem(row, 4, Cell(degrees(deviation->scoreLeft), Qt::AlignRight));
}

void GaitWindow::UpdateButtons() {
    const std::optional<GaitEvent> selected = SelectedEvent();
    m_add->setEnabled(m_frame >= 0);
    m_move->setEnabled(selected && m_frame >= 0 && selected->frame != m_frame);
    m_delete->setEnabled(selected.has_value());
}

}  // namespace kivra
