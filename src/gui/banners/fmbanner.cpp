#include "gui/banners/fmbanner.h"

#include "catalogue/adkind.h"
#include "catalogue/bannercheck.h"
#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/common/webpane.h"
#include "gui/documents/scintillapageeditor.h"

#include "ui_fmbanner.h"

#include <QEvent>

namespace pw::gui {

namespace {

// Without the leading and trailing blanks (characters up to U+0020).
QString TrimBlanks(const QString& text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && text[from].unicode() <= 0x20)
        ++from;
    while (to > from && text[to - 1].unicode() <= 0x20)
        --to;
    return text.mid(from, to - from);
}

} // namespace

TFmBanner::TFmBanner(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TFmBanner>())
{
    ui->setupUi(this);
    for (std::string_view kind : kKindTexts)
        ui->CBType->addItem(FromData(kind));

    // The HTML field: no gutter, the same codec as the pages.
    ScintillaPageEditor* html = ui->SynEditHTML;
    disconnect(html, &QsciScintilla::linesChanged, html, nullptr);
    html->setMarginLineNumbers(0, false);
    html->setMarginWidth(0, 0);
    html->installEventFilter(this);

    connect(ui->BtnOK, &QPushButton::clicked, this, &TFmBanner::accept);
    connect(ui->BtnClose, &QPushButton::clicked, this, &TFmBanner::reject);
    connect(ui->CBType, &QComboBox::currentTextChanged, this, [this] {
        if (!m_settingType)
            m_typeChanged = true;
    });
    for (QLineEdit* field : { ui->EdSpace, ui->EdPV, ui->EdCT, ui->EdTotalRevenue, ui->CBType->lineEdit() }) {
        connect(field, &QLineEdit::editingFinished, this, [field] {
            const QString trimmed = TrimBlanks(field->text());
            if (trimmed != field->text())
                field->setText(trimmed);
        });
    }
}

TFmBanner::~TFmBanner() = default;

ScintillaPageEditor* TFmBanner::htmlEditor() const
{
    return ui->SynEditHTML;
}

WebPane* TFmBanner::preview() const
{
    return ui->WBPreview;
}

void TFmBanner::setCatalogue(const BannerList* banners, const NetworkList* networks)
{
    m_banners = banners;
    m_networks = networks;
}

void TFmBanner::fillNetworks()
{
    ui->CBNetwork->clear();
    if (m_networks) {
        for (size_t i = 0; i < m_networks->size(); ++i)
            ui->CBNetwork->addItem(FromData((*m_networks)[i]->Name), static_cast<int>(i));
    }
    ui->CBNetwork->addItem(FromData(kNoNetworkName), -1);
}

void TFmBanner::setType(const QString& type)
{
    m_settingType = true;
    ui->CBType->setCurrentText(type);
    m_settingType = false;
    m_typeChanged = false;
}

void TFmBanner::showPreview(const std::string& html)
{
    ui->WBPreview->showUntrusted(html);
}

void TFmBanner::setConvertedCount(size_t count)
{
    ui->LbConverted->setText(count
            ? QStringLiteral("Shift_JISにない%1文字を数値文字参照(&#x...;)に変換しました").arg(count)
            : QString());
    ui->LbConverted->setVisible(count > 0);
}

void TFmBanner::LoadBanner(TAdBanner& banner)
{
    m_banner = &banner;
    setConvertedCount(0);
    fillNetworks();
    int entry = ui->CBNetwork->count() - 1;
    if (banner.Network && m_networks) {
        for (int i = 0; i + 1 < ui->CBNetwork->count(); ++i) {
            if ((*m_networks)[static_cast<size_t>(i)].get() == banner.Network)
                entry = i;
        }
    }
    ui->CBNetwork->setCurrentIndex(entry);
    ui->EdSpace->setText(FromData(banner.SpaceName));
    setType(FromData(banner.Type));
    ui->EdPV->setText(QString::number(banner.PV));
    ui->EdCT->setText(QString::number(banner.CT));
    ui->EdTotalRevenue->setText(QString::number(banner.TotalRevenue));
    // A banner with imported reports shows their sums, which a report changes
    // and the user does not.
    const bool imported = !banner.StatsId.empty();
    for (QLineEdit* figure : { ui->EdPV, ui->EdCT, ui->EdTotalRevenue }) {
        figure->setReadOnly(imported);
        figure->setToolTip(imported ? QStringLiteral("取り込んだレポートの合計です") : QString());
    }
    ui->SynEditHTML->LoadPage(banner.BannerHTML, LineBreak::CrLf);
    showPreview(htmlText());
    m_typeChanged = false;
    ui->EdSpace->setFocus();
}

std::string TFmBanner::htmlText() const
{
    std::string text;
    const std::vector<std::string> lines = ui->SynEditHTML->PageLines();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += lines[i];
    }
    return text;
}

void TFmBanner::leaveHtmlEditor()
{
    const std::string html = htmlText();
    const AdKind kind = m_networks ? DetectAdKind(html, *m_networks) : AdKind {};
    if (kind.Network && m_networks) {
        for (int i = 0; i + 1 < ui->CBNetwork->count(); ++i) {
            if ((*m_networks)[static_cast<size_t>(i)].get() == kind.Network)
                ui->CBNetwork->setCurrentIndex(i);
        }
    }
    if (TakesDetectedType(ToData(ui->CBType->currentText()), m_typeChanged))
        setType(FromData(kind.KindText));
    if (!html.empty())
        showPreview(html);
}

bool TFmBanner::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->SynEditHTML && event->type() == QEvent::FocusOut)
        leaveHtmlEditor();
    return QDialog::eventFilter(watched, event);
}

void TFmBanner::accept()
{
    if (!m_banner)
        return QDialog::reject();
    BannerFields fields;
    const int entry = ui->CBNetwork->currentIndex();
    const int network = entry >= 0 ? ui->CBNetwork->itemData(entry).toInt() : -1;
    fields.Network = network >= 0 && m_networks ? (*m_networks)[static_cast<size_t>(network)].get() : nullptr;
    fields.SpaceName = ToData(TrimBlanks(ui->EdSpace->text()));
    fields.Type = ToData(ui->CBType->currentText());
    fields.PV = ToData(TrimBlanks(ui->EdPV->text()));
    fields.CT = ToData(TrimBlanks(ui->EdCT->text()));
    fields.TotalRevenue = ToData(TrimBlanks(ui->EdTotalRevenue->text()));
    fields.BannerHTML = htmlText();

    static const BannerList kEmpty;
    const BannerCheck check = CheckBannerFields(m_banners ? *m_banners : kEmpty, m_banner, fields);
    if (!check.Ok) {
        ShowMessage(this, MessageType::Warning, FromData(check.Message));
        switch (check.Focus) {
        case BannerField::SpaceName:
            ui->EdSpace->setFocus();
            break;
        case BannerField::PV:
            ui->EdPV->setFocus();
            break;
        case BannerField::CT:
            ui->EdCT->setFocus();
            break;
        case BannerField::TotalRevenue:
            ui->EdTotalRevenue->setFocus();
            break;
        case BannerField::None:
            break;
        }
        return;
    }
    ApplyBannerFields(*m_banner, fields);
    m_banner = nullptr;
    QDialog::accept();
}

void TFmBanner::reject()
{
    m_banner = nullptr;
    QDialog::reject();
}

} // namespace pw::gui
