#include "ui/codec_list_dlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/compressors.h"

namespace {

constexpr int kWidthDlu = 497;
constexpr int kHeightDlu = 281;
// Per cent of the list's client width, in column order.
constexpr std::array<int, CCodecListDialog::kColumnCount> kColumnShares = {5, 15, 30, 30, 18};

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A driver that is not on disk has no version to read.
QString DriverVersion(const kivra::CompressorInfo& info) {
    if (info.driver.empty())
        return {};
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(info.driver), error))
        return {};
    return FromUtf8(info.version);
}

QTableWidgetItem* ReadOnlyItem(const QString& text) {
    auto item = std::make_unique<QTableWidgetItem>(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(text);  // the fixed column widths cut long driver paths
    return item.release();   // the table takes ownership
}

}  // namespace

CCodecListDialog::CCodecListDialog(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("CCodecListDialog"));
    setWindowTitle(tr("インストール済みコーデック一覧"));
    setModal(false);

    m_pList = new QTableWidget(0, kColumnCount, this);
    m_pList->setObjectName(QStringLiteral("CodecList"));
    m_pList->setHorizontalHeaderLabels({QStringLiteral("Fcc"), QStringLiteral("Name"),
                                        QStringLiteral("Description"), QStringLiteral("Driver"),
                                        QStringLiteral("Version")});
    m_pList->verticalHeader()->hide();
    m_pList->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_pList->horizontalHeader()->setSortIndicatorShown(false);
    m_pList->setSortingEnabled(false);
    m_pList->setShowGrid(true);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setWordWrap(false);
    // One text line per row, as in a report list.
    m_pList->verticalHeader()->setMinimumSectionSize(1);
    m_pList->verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);

    m_pRefreshButton = new QPushButton(tr("最新の情報に更新(&R)"), this);
    m_pRefreshButton->setObjectName(QStringLiteral("RefreshButton"));
    m_pRefreshButton->setAutoDefault(false);
    connect(m_pRefreshButton, &QPushButton::clicked, this, &CCodecListDialog::Refresh);

    auto* const buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_pRefreshButton);
    auto* const layout = new QVBoxLayout(this);
    layout->addWidget(m_pList);
    layout->addLayout(buttons);

    // Dialog units: a quarter of the average character width, an eighth of the line height.
    const QFontMetrics metrics(font());
    resize(kWidthDlu * metrics.averageCharWidth() / 4, kHeightDlu * metrics.height() / 8);

    Refresh();
}

CCodecListDialog::~CCodecListDialog() = default;

void CCodecListDialog::Refresh() {
    m_pList->clearContents();
    m_pList->setRowCount(0);
    for (const kivra::CompressorInfo& info : kivra::InstalledCompressors()) {
        const int row = m_pList->rowCount();
        m_pList->insertRow(row);
        m_pList->setItem(
            row, kCode,
            ReadOnlyItem(QString::fromLatin1(kivra::HandlerCodeText(info.code).c_str())));
        m_pList->setItem(row, kName, ReadOnlyItem(FromUtf8(info.name)));
        m_pList->setItem(row, kDescription, ReadOnlyItem(FromUtf8(info.description)));
        m_pList->setItem(row, kDriver, ReadOnlyItem(FromUtf8(info.driver)));
        m_pList->setItem(row, kVersion, ReadOnlyItem(DriverVersion(info)));
    }
}

void CCodecListDialog::Toggle() {
    setVisible(!isVisible());
}

void CCodecListDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_bColumnsSized)
        SizeColumns();
}

void CCodecListDialog::SizeColumns() {
    // Before the first showing the list has no real size yet.
    const int clientWidth = m_pList->viewport()->width();
    if (clientWidth <= 0)
        return;
    std::array<int, kColumnCount> widths{};
    for (int column = 0; column < kColumnCount; ++column)
        widths[column] = clientWidth * kColumnShares[column] / 100;
    // A four-character code must stay readable; the description gives up the difference.
    const int codeWidth = m_pList->fontMetrics().horizontalAdvance(QStringLiteral("MMMM")) + 8;
    if (widths[kCode] < codeWidth) {
        widths[kDescription] -= codeWidth - widths[kCode];
        widths[kCode] = codeWidth;
    }
    for (int column = 0; column < kColumnCount; ++column)
        m_pList->setColumnWidth(column, widths[column]);
    m_bColumnsSized = true;
}
