#include "gui/reports/fmreportimport.h"

#include "gui/common/datatext.h"
#include "gui/reports/reportmessages.h"
#include "gui/reports/unmatchedkeys.h"
#include "reports/reportcolumns.h"
#include "reports/statshistory.h"
#include "text/codec.h"

#include <QComboBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pw::gui {

namespace {

QComboBox* MakeBox(const char* name, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QString Figures(int64_t pv, int64_t clicks, int64_t revenue)
{
    return QStringLiteral("PV %1 / クリック %2 / 収益 %3円").arg(pv).arg(clicks).arg(revenue);
}

} // namespace

TFmReportImport::TFmReportImport(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FmReportImport"));
    setWindowTitle(QStringLiteral("レポートの取り込み"));
    resize(820, 760);
    auto* layout = new QVBoxLayout(this);
    m_file = new QLabel(this);
    m_file->setObjectName(QStringLiteral("LbReportFile"));
    layout->addWidget(m_file);
    m_preview = new QTableWidget(this);
    m_preview->setObjectName(QStringLiteral("GridPreview"));
    m_preview->setAccessibleName(QStringLiteral("レポートの先頭の行"));
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(m_preview, 2);

    auto* form = new QFormLayout;
    m_key = MakeBox("CBKeyColumn", this);
    m_pv = MakeBox("CBPVColumn", this);
    m_clicks = MakeBox("CBClicksColumn", this);
    m_revenue = MakeBox("CBRevenueColumn", this);
    m_month = MakeBox("CBMonthColumn", this);
    m_match = MakeBox("CBMatch", this);
    m_match->addItem(QStringLiteral("広告名と一致"), QStringLiteral("name"));
    m_match->addItem(QStringLiteral("広告のHTMLに含まれるコード"), QStringLiteral("code"));
    m_network = MakeBox("CBReportNetwork", this);
    m_network->setEditable(true);
    m_period = new QLineEdit(this);
    m_period->setObjectName(QStringLiteral("EdPeriod"));
    m_period->setPlaceholderText(QStringLiteral("YYYY-MM"));
    m_period->setText(QDate::currentDate().addMonths(-1).toString(QStringLiteral("yyyy-MM")));
    // Each field is named by its label, without the mnemonic and colon.
    const std::pair<QWidget*, QString> fields[]
        = { { m_key, QStringLiteral("広告を表す列(&K)") }, { m_pv, QStringLiteral("表示回数の列(&V)") },
              { m_clicks, QStringLiteral("クリック数の列(&C)") }, { m_revenue, QStringLiteral("収益の列(&R)") },
              { m_month, QStringLiteral("日付・月の列(&D)") }, { m_period, QStringLiteral("期間(&P)") },
              { m_match, QStringLiteral("照合(&M)") }, { m_network, QStringLiteral("ネットワーク(&N)") } };
    for (const auto& [field, label] : fields) {
        form->addRow(label + QLatin1Char(':'), field);
        field->setAccessibleName(QString(label).remove(QRegularExpression(QStringLiteral("\\(&.\\)"))));
    }
    layout->addLayout(form);
    m_mappingNote = new QLabel(this);
    m_mappingNote->setObjectName(QStringLiteral("LbMappingNote"));
    m_mappingNote->setWordWrap(true);
    layout->addWidget(m_mappingNote);

    auto* unmatchedLabel
        = new QLabel(QStringLiteral("一致しないキー（広告を選ぶと、次からもその広告に数えます）(&U):"), this);
    layout->addWidget(unmatchedLabel);
    m_unmatched = new UnmatchedKeysGrid(this);
    unmatchedLabel->setBuddy(m_unmatched);
    layout->addWidget(m_unmatched, 2);
    connect(m_unmatched, &UnmatchedKeysGrid::keyAssigned, this, &TFmReportImport::assignKey);

    m_resultView = new QPlainTextEdit(this);
    m_resultView->setObjectName(QStringLiteral("MemoImportResult"));
    m_resultView->setAccessibleName(QStringLiteral("取り込みの結果"));
    m_resultView->setReadOnly(true);
    layout->addWidget(m_resultView, 1);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("BtnOK"));
    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("取り込む"));
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    for (QComboBox* box : { m_key, m_pv, m_clicks, m_revenue, m_month, m_match })
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            if (!m_filling)
                refresh();
        });
    connect(m_period, &QLineEdit::textChanged, this, [this] { refresh(); });
    connect(m_network, &QComboBox::currentTextChanged, this, &TFmReportImport::networkChosen);
}

bool TFmReportImport::setReport(const QString& path, BannerList& banners, ReportError& error)
{
    m_banners = &banners;
    m_gaveIds = false;
    ReportTable table;
    if (!ReadReportFile(path.toStdString(), table, &error))
        return false;
    m_table = std::move(table);
    m_unmatched->clearKeys();
    m_file->setText(QStringLiteral("%1 (%2行)").arg(QFileInfo(path).fileName()).arg(m_table.RowCount));
    m_file->setToolTip(path);

    const int columns = static_cast<int>(m_table.Header.size());
    const int rows = static_cast<int>(std::min<size_t>(m_table.RowCount, kPreviewRows));
    m_preview->clear();
    m_preview->setColumnCount(columns);
    m_preview->setRowCount(rows);
    QStringList header;
    for (const auto& name : m_table.Header)
        header << QString::fromStdString(name);
    m_preview->setHorizontalHeaderLabels(header);
    ReportRowReader reader(m_table);
    for (int r = 0; r < rows && reader.Next(); ++r) {
        const auto row = reader.Cells();
        for (int c = 0; c < columns && c < static_cast<int>(row.size()); ++c)
            m_preview->setItem(r, c, new QTableWidgetItem(QString::fromStdString(row[static_cast<size_t>(c)])));
    }
    fillColumns();
    return true;
}

void TFmReportImport::fillColumns()
{
    m_filling = true;
    QStringList names;
    for (size_t i = 0; i < m_table.Header.size(); ++i)
        names << QStringLiteral("%1: %2").arg(i + 1).arg(QString::fromStdString(m_table.Header[i]));
    for (QComboBox* box : { m_key, m_pv, m_clicks, m_revenue, m_month }) {
        box->clear();
        box->addItem(box == m_month ? QStringLiteral("（なし: 期間を指定）") : QStringLiteral("（未選択）"));
        box->addItems(names);
    }
    m_filling = false;
    // The header's words until a remembered mapping says otherwise.
    m_assigned.clear();
    m_assignedHere.clear();
    applyMapping(nullptr);
}

void TFmReportImport::setNetworks(const std::vector<std::string>& names, const std::string& chosen)
{
    m_filling = true;
    m_network->clear();
    m_network->addItem(QString());
    for (const auto& name : names)
        m_network->addItem(FromData(name));
    m_network->setEditText(FromData(chosen));
    m_filling = false;
    networkChosen();
}

void TFmReportImport::networkChosen()
{
    if (m_filling || !m_mappingSource)
        return;
    if (const auto mapping = m_mappingSource(network()))
        applyMapping(&*mapping);
}

void TFmReportImport::applyMapping(const ReportMapping* remembered)
{
    const ReportMapping chosen = ChooseReportMapping(m_table, remembered);
    m_filling = true;
    auto choose = [this](QComboBox* box, const std::string& spec) {
        const auto column = spec.empty() ? std::nullopt : FindReportColumn(m_table, spec);
        box->setCurrentIndex(column ? static_cast<int>(*column) + 1 : 0);
    };
    choose(m_key, chosen.Key);
    choose(m_pv, chosen.PV);
    choose(m_clicks, chosen.Clicks);
    choose(m_revenue, chosen.Revenue);
    choose(m_month, chosen.Month);
    m_match->setCurrentIndex(chosen.Match == ReportMatch::Code ? 1 : 0);
    if (remembered) {
        m_assigned = chosen.Assigned;
        for (const auto& [key, id] : m_assignedHere) {
            if (id.empty())
                m_assigned.erase(key);
            else
                m_assigned[key] = id;
        }
    }
    m_filling = false;
    if (remembered)
        m_mappingNote->setText(
            QStringLiteral("列は前回「%1」で使った選び方です。見つからない列は見出しの名前から選びました。")
                .arg(m_network->currentText().trimmed()));
    else if (chosen.Key.empty() && chosen.PV.empty() && chosen.Clicks.empty() && chosen.Revenue.empty())
        m_mappingNote->setText(QStringLiteral("見出しの名前からは列を選べませんでした。列を選んでください。"));
    else
        m_mappingNote->setText(QStringLiteral("列は見出しの名前から選びました。違うときは選び直してください。"));
    refresh();
}

void TFmReportImport::setPeriod(const QString& period)
{
    m_period->setText(period);
}

void TFmReportImport::assignKey(const std::string& key, TAdBanner* banner)
{
    if (key.empty())
        return;
    if (!banner) {
        m_assigned.erase(key);
        m_assignedHere[key].clear();
    } else {
        m_gaveIds = m_gaveIds || banner->StatsId.empty();
        m_assigned[key] = EnsureStatsId(*banner);
        m_assignedHere[key] = m_assigned[key];
    }
    refresh();
}

std::string TFmReportImport::columnSpec(const QComboBox* box) const
{
    const int index = box->currentIndex() - 1;
    if (index < 0)
        return {};
    return ReportColumnSpec(m_table, static_cast<size_t>(index));
}

ReportMapping TFmReportImport::mapping() const
{
    ReportMapping mapping;
    mapping.Key = columnSpec(m_key);
    mapping.PV = columnSpec(m_pv);
    mapping.Clicks = columnSpec(m_clicks);
    mapping.Revenue = columnSpec(m_revenue);
    mapping.Month = columnSpec(m_month);
    mapping.Match
        = m_match->currentData().toString() == QLatin1String("code") ? ReportMatch::Code : ReportMatch::Name;
    mapping.Assigned = m_assigned;
    return mapping;
}

std::string TFmReportImport::network() const
{
    return ToData(m_network->currentText().trimmed());
}

std::string TFmReportImport::period() const
{
    return m_period->text().trimmed().toStdString();
}

void TFmReportImport::refresh()
{
    m_result = ReportImportResult {};
    m_problem.clear();
    m_period->setEnabled(m_month->currentIndex() <= 0);
    if (m_banners && !m_table.Header.empty()) {
        const ReportMapping current = mapping();
        if (!ReportImport(m_table, current, current.Month.empty() ? period() : "", *m_banners, m_result))
            m_problem = ReportErrorMessage(m_result.Error);
    }
    m_unmatched->showKeys(m_result.UnmatchedKeys, m_banners);
    m_resultView->setPlainText(resultText());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(m_problem.isEmpty() && !m_result.Matched.empty());
}

QString TFmReportImport::resultText() const
{
    if (!m_problem.isEmpty())
        return m_problem;
    QStringList lines;
    lines << QStringLiteral("一致した広告: %1件（%2行）").arg(m_result.Matched.size()).arg(m_result.MatchedRows);
    for (const auto& sum : m_result.Matched)
        lines << QStringLiteral("  %1  %2  %3")
                     .arg(FromData(sum.Banner->SpaceName), QString::fromStdString(sum.Period),
                         Figures(sum.PV, sum.Clicks, sum.Revenue));
    auto skipped = [&](const std::vector<ReportSkippedRow>& rows, size_t count) {
        for (const auto& row : rows)
            lines << QStringLiteral("  ") + SkippedRowText(row);
        if (count > rows.size())
            lines << QStringLiteral("  …ほか%1行").arg(count - rows.size());
    };
    lines << QStringLiteral("一致しない行: %1").arg(m_result.UnmatchedRows);
    skipped(m_result.Unmatched, m_result.UnmatchedRows);
    lines << QStringLiteral("複数の広告に一致した行（取り込まない）: %1").arg(m_result.AmbiguousRows);
    skipped(m_result.Ambiguous, m_result.AmbiguousRows);
    if (m_result.TotalRows > 0)
        lines << QStringLiteral("合計の行（数えない）: %1").arg(m_result.TotalRows);
    return lines.join(QLatin1Char('\n'));
}

} // namespace pw::gui
