#include "gui/reports/fmreportimport.h"

#include "gui/common/datatext.h"
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
    resize(760, 620);
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
    form->addRow(QStringLiteral("広告を表す列(&K):"), m_key);
    form->addRow(QStringLiteral("表示回数の列(&V):"), m_pv);
    form->addRow(QStringLiteral("クリック数の列(&C):"), m_clicks);
    form->addRow(QStringLiteral("収益の列(&R):"), m_revenue);
    form->addRow(QStringLiteral("日付・月の列(&D):"), m_month);
    form->addRow(QStringLiteral("期間(&P):"), m_period);
    form->addRow(QStringLiteral("照合(&M):"), m_match);
    form->addRow(QStringLiteral("ネットワーク(&N):"), m_network);
    layout->addLayout(form);

    m_resultView = new QPlainTextEdit(this);
    m_resultView->setObjectName(QStringLiteral("MemoImportResult"));
    m_resultView->setAccessibleName(QStringLiteral("取り込みの結果"));
    m_resultView->setReadOnly(true);
    layout->addWidget(m_resultView, 2);
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

bool TFmReportImport::setReport(const QString& path, const BannerList& banners, QString& error)
{
    m_banners = &banners;
    ReportTable table;
    if (Status read = ReadReportFile(path.toStdString(), table); !read) {
        error = QString::fromStdString(read.error);
        return false;
    }
    m_table = std::move(table);
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
    refresh();
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
        if (box == m_month)
            box->addItem(QStringLiteral("（なし: 期間を指定）"));
        box->addItems(names);
    }
    // A first guess until a remembered mapping says otherwise.
    const int count = static_cast<int>(names.size());
    m_key->setCurrentIndex(0);
    m_pv->setCurrentIndex(std::min(1, count - 1));
    m_clicks->setCurrentIndex(std::min(2, count - 1));
    m_revenue->setCurrentIndex(std::min(3, count - 1));
    m_month->setCurrentIndex(0);
    m_filling = false;
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
        applyMapping(*mapping);
}

void TFmReportImport::applyMapping(const ReportMapping& mapping)
{
    m_filling = true;
    auto choose = [this](QComboBox* box, const std::string& spec, int offset) {
        if (spec.empty())
            return;
        if (const auto column = FindReportColumn(m_table, spec))
            box->setCurrentIndex(static_cast<int>(*column) + offset);
    };
    choose(m_key, mapping.Key, 0);
    choose(m_pv, mapping.PV, 0);
    choose(m_clicks, mapping.Clicks, 0);
    choose(m_revenue, mapping.Revenue, 0);
    m_month->setCurrentIndex(0);
    choose(m_month, mapping.Month, 1);
    m_match->setCurrentIndex(mapping.Match == ReportMatch::Code ? 1 : 0);
    m_filling = false;
    refresh();
}

void TFmReportImport::setPeriod(const QString& period)
{
    m_period->setText(period);
}

std::string TFmReportImport::columnSpec(const QComboBox* box) const
{
    const int index = box->currentIndex() - (box == m_month ? 1 : 0);
    if (index < 0 || index >= static_cast<int>(m_table.Header.size()))
        return {};
    // The header text, so that next month's report finds the column even when
    // the network adds one; the number when the text is empty or not unique.
    const std::string name = codec::EncodeSjis(m_table.Header[static_cast<size_t>(index)]).bytes;
    const auto found = FindReportColumn(m_table, name);
    if (!name.empty() && found && *found == static_cast<size_t>(index)
        && std::count(m_table.Header.begin(), m_table.Header.end(), m_table.Header[static_cast<size_t>(index)])
            == 1
        && !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return name;
    return std::to_string(index + 1);
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
        if (Status imported
            = ReportImport(m_table, current, current.Month.empty() ? period() : "", *m_banners, m_result);
            !imported)
            m_problem = FromData(imported.error);
    }
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
            lines << QStringLiteral("  ") + FromData(DescribeSkippedRow(row));
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
