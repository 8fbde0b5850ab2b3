#include "gui/reports/reportmessages.h"

#include "gui/common/datatext.h"

#include <QFileInfo>

namespace pw::gui {

namespace {

QString Cell(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

QString ColumnText(const ReportError& error)
{
    if (error.ColumnName.empty())
        return QStringLiteral("%1列目").arg(error.Column);
    return QStringLiteral("列「%1」").arg(Cell(error.ColumnName));
}

QString LineText(const ReportError& error)
{
    return QStringLiteral("%1行目: ").arg(error.Line);
}

// "2行目: 列「yen」の収益「abc」"
QString FigureText(const ReportError& error)
{
    return LineText(error)
        + QStringLiteral("%1の%2「%3」").arg(ColumnText(error), ReportFieldName(error.Field), Cell(error.Value));
}

QString MiB(size_t bytes)
{
    return QString::number((bytes + 1024 * 1024 - 1) / (1024 * 1024));
}

QString Text(const ReportError& error)
{
    switch (error.Kind) {
    case ReportErrorKind::None:
        return {};
    case ReportErrorKind::Unreadable:
        return QStringLiteral("レポートのファイル %1 を開けませんでした。")
            .arg(QString::fromStdString(error.Path));
    case ReportErrorKind::FileTooLarge:
        return QStringLiteral("レポートが %1 MiB（%2 バイト）あり、上限の %3 MiB を超えています。"
                              "これほど大きな月次レポートを出すネットワークはありません。")
            .arg(MiB(error.Size))
            .arg(error.Size)
            .arg(MiB(kReportMaxBytes));
    case ReportErrorKind::Empty:
        return QStringLiteral("レポートが空です（見出しの行もありません）。");
    case ReportErrorKind::TooManyColumns:
        return QStringLiteral("レポートの見出しの列が %1 を超えています。これほど列の多いレポートはありません。")
            .arg(kReportMaxColumns);
    case ReportErrorKind::UnclosedQuote:
        return LineText(error) + QStringLiteral("引用符 \" で始まる項目が閉じられていません。");
    case ReportErrorKind::NoColumn:
        if (error.Value.empty())
            return QStringLiteral("%1を選んでください。").arg(ReportColumnRole(error.Field));
        return QStringLiteral("レポートに%1「%2」がありません。")
            .arg(ReportColumnRole(error.Field), Cell(error.Value));
    case ReportErrorKind::BadPeriod:
        return QStringLiteral("期間「%1」は YYYY-MM と書いた月ではありません。").arg(Cell(error.Value));
    case ReportErrorKind::NotANumber:
        return FigureText(error) + QStringLiteral("は整数ではありません。");
    case ReportErrorKind::Grouping:
        return FigureText(error)
            + QStringLiteral("はカンマが3桁ごとの区切りになっていません。小数点のカンマは読みません"
                             "（レポートの数値は整数です）。");
    case ReportErrorKind::FigureTooLarge:
        return FigureText(error)
            + QStringLiteral("は %1 を超えています。レポートにこれほど大きな数値はありません。列は正しいですか？")
                  .arg(QString::fromLatin1(kReportFigureLimitText));
    case ReportErrorKind::NotAMonth:
        return LineText(error)
            + QStringLiteral("%1の「%2」は日付でも月でもありません。").arg(ColumnText(error), Cell(error.Value));
    case ReportErrorKind::SumOverflow:
        return LineText(error)
            + QStringLiteral("[%1] の %2 の%3の合計が、数値として扱える大きさを超えました。")
                  .arg(FromData(error.Banner), QString::fromStdString(error.Period), ReportFieldName(error.Field));
    }
    return {};
}

} // namespace

QString ReportColumnRole(ReportField field)
{
    if (field == ReportField::Key)
        return QStringLiteral("広告を表す列");
    return ReportFieldName(field) + QStringLiteral("の列");
}

QString ReportFieldName(ReportField field)
{
    switch (field) {
    case ReportField::Key:
        return QStringLiteral("キー");
    case ReportField::PV:
        return QStringLiteral("表示回数");
    case ReportField::Clicks:
        return QStringLiteral("クリック数");
    case ReportField::Revenue:
        return QStringLiteral("収益");
    case ReportField::Month:
        return QStringLiteral("日付・月");
    }
    return {};
}

QString ReportErrorMessage(const ReportError& error)
{
    QString text = Text(error);
    // A report whose contents are wrong is named by its file.
    if (!error.Path.empty() && error.Kind != ReportErrorKind::Unreadable && error.Kind != ReportErrorKind::None)
        text = QStringLiteral("%1: ").arg(QFileInfo(QString::fromStdString(error.Path)).fileName()) + text;
    return text;
}

QString ReportErrorDetails(const ReportError& error)
{
    return error.Kind == ReportErrorKind::Unreadable ? QString::fromStdString(error.Detail) : QString();
}

QString SkippedRowText(const ReportSkippedRow& row)
{
    QString text = QStringLiteral("%1行目: %2")
                       .arg(row.Line)
                       .arg(row.Key.empty() ? QStringLiteral("（キーなし）") : FromData(ShortReportKey(row.Key)));
    QStringList names;
    for (const TAdBanner* banner : row.Candidates)
        names << FromData(banner->SpaceName);
    if (!names.isEmpty())
        text += QStringLiteral(" [%1]").arg(names.join(QStringLiteral(", ")));
    return text;
}

QString StatsOpenMessage(const std::string& path, const StatsOpenReport& report)
{
    const QString file = QString::fromStdString(path);
    if (report.NewerSchema > 0)
        return QStringLiteral(
            "収益の履歴 %1 は新しい版の Pagewick が書いたもの（形式 %2。この版は %3 まで）のため、"
            "開きませんでした。ファイルはそのままです。")
            .arg(file, QString::number(report.NewerSchema), QString::number(kStatsSchemaVersion));
    return QStringLiteral("収益の履歴 %1 を開けませんでした。").arg(file);
}

QString DamagedStatsText(const std::string& path, const StatsOpenReport& report)
{
    return QStringLiteral("収益の履歴 %1 は壊れていたため %2 として残し、新しい履歴を始めました。")
        .arg(QString::fromStdString(path), QString::fromStdString(report.DamagedCopy));
}

} // namespace pw::gui
