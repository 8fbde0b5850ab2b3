#include "gui/networks/profilepage.h"

#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "networks/definitions.h"
#include "networks/signupfill.h"
#include "networks/siteinfo.h"
#include "ui_profilepage.h"

namespace pw::gui {

namespace {

const QColor kRequiredColour(Qt::yellow);
const QColor kOptionColour(166, 202, 240);

// The text fields of a profile and where they are kept.
struct TextField {
    const char* widget;
    std::string TSiteInfo::*member;
};
const TextField kTextFields[] = {
    { "EdEMail", &TSiteInfo::EMail },
    { "EdSiteName", &TSiteInfo::SiteName },
    { "EdSiteKana", &TSiteInfo::SiteKana },
    { "EdSiteUrl", &TSiteInfo::SiteUrl },
    { "EdSiteDesc", &TSiteInfo::SiteDesc },
    { "EdPV", &TSiteInfo::PV },
    { "EdName1", &TSiteInfo::Name1 },
    { "EdName2", &TSiteInfo::Name2 },
    { "EdKanaName1", &TSiteInfo::KanaName1 },
    { "EdKanaName2", &TSiteInfo::KanaName2 },
    { "EdPhone", &TSiteInfo::Phone },
    { "EdFax", &TSiteInfo::Fax },
    { "EdZip", &TSiteInfo::Zip },
    { "EdAddr2", &TSiteInfo::Addr2 },
    { "EdAddr3", &TSiteInfo::Addr3 },
    { "EdAddr4", &TSiteInfo::Addr4 },
    { "EdCompany", &TSiteInfo::Company },
    { "EdKanaCompany", &TSiteInfo::KanaCompany },
    { "EdBankName", &TSiteInfo::BankName },
    { "EdBranchName", &TSiteInfo::BranchName },
    { "EdAccountNumber", &TSiteInfo::Account },
    { "EdAccountName", &TSiteInfo::AccountName },
    { "EdAccountKanaName", &TSiteInfo::AccountKana },
};

template <size_t N> void FillChoice(QComboBox* box, const std::array<std::string_view, N>& entries)
{
    for (std::string_view entry : entries)
        box->addItem(FromData(entry));
}

QString FieldText(const QWidget* w)
{
    if (auto* edit = qobject_cast<const QLineEdit*>(w))
        return edit->text();
    if (auto* box = qobject_cast<const QComboBox*>(w))
        return box->currentText();
    return {};
}

class PageSignupValues : public SignupValues {
public:
    explicit PageSignupValues(const std::array<QWidget*, kProfileFieldCount>& map)
        : m_map(map)
    {
    }
    std::string Text(ProfileField field) const override
    {
        const QWidget* w = widget(field);
        return w ? ToData(FieldText(w)) : std::string();
    }
    int ChoiceIndex(ProfileField field) const override
    {
        auto* box = qobject_cast<const QComboBox*>(widget(field));
        return box ? box->currentIndex() : -1;
    }

private:
    const QWidget* widget(ProfileField field) const
    {
        const int i = static_cast<int>(field);
        return i >= 0 && i < kProfileFieldCount ? m_map[static_cast<size_t>(i)] : nullptr;
    }
    const std::array<QWidget*, kProfileFieldCount>& m_map;
};

} // namespace

void TrimField(QLineEdit* edit)
{
    const QString trimmed = FromData(TrimBlanks(ToData(edit->text())));
    if (trimmed != edit->text())
        edit->setText(trimmed);
}

ProfilePage::ProfilePage(QWidget* parent)
    : QGroupBox(parent)
    , ui(std::make_unique<Ui::ProfilePage>())
{
    ui->setupUi(this);
    FillChoice(ui->CBAddr1, kPrefectures);
    FillChoice(ui->CBAccountType, kAccountTypes);
    FillChoice(ui->CBAffType, kAffTypes);
    FillChoice(ui->CBCountry, kCountries);
    ui->EdNameM->setText(FromData(kNameSeparator));
    for (QWidget* hidden : { static_cast<QWidget*>(ui->EdNameM), static_cast<QWidget*>(ui->CBCountry),
             static_cast<QWidget*>(ui->CBAffType) })
        hidden->hide();
    ui->STRequired->setStyleSheet(QStringLiteral("background-color: %1;").arg(kRequiredColour.name()));
    ui->STOption->setStyleSheet(QStringLiteral("background-color: %1;").arg(kOptionColour.name()));
    ui->STNotUsed->setStyleSheet(QStringLiteral("background-color: palette(button);"));

    // The field map: every value the fill can take, by its control.
    for (int i = 0; i < kProfileFieldCount; ++i) {
        const auto field = static_cast<ProfileField>(i);
        const std::string_view name = FieldMapName(field);
        const QString objectName = QLatin1String(IsListField(field) ? "CB" : "Ed")
            + QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
        m_fieldMap[static_cast<size_t>(i)] = findChild<QWidget*>(objectName);
    }

    connect(ui->EdSiteUrl, &QLineEdit::editingFinished, this, &ProfilePage::checkSiteUrl);
    connect(ui->EdPhone, &QLineEdit::editingFinished, this, [this] { checkPhone(ui->EdPhone); });
    connect(ui->EdFax, &QLineEdit::editingFinished, this, [this] { checkPhone(ui->EdFax); });
    for (const TextField& f : kTextFields) {
        auto* edit = findChild<QLineEdit*>(QLatin1String(f.widget));
        if (edit != ui->EdSiteUrl && edit != ui->EdPhone && edit != ui->EdFax)
            connect(edit, &QLineEdit::editingFinished, this, [edit] { TrimField(edit); });
    }
    connect(ui->BtnNewSite, &QPushButton::clicked, this, &ProfilePage::newProfileClicked);
    connect(ui->BtnDelSite, &QPushButton::clicked, this, &ProfilePage::deleteProfileClicked);
    connect(ui->BtnChgSite, &QPushButton::clicked, this, &ProfilePage::renameProfileClicked);
}

ProfilePage::~ProfilePage() = default;

QComboBox* ProfilePage::profiles() const
{
    return ui->CBSiteInfos;
}

QLineEdit* ProfilePage::user() const
{
    return ui->EdUser;
}

QLineEdit* ProfilePage::password() const
{
    return ui->EdPassword;
}

QWidget* ProfilePage::fieldWidget(ProfileField field) const
{
    const int i = static_cast<int>(field);
    return i >= 0 && i < kProfileFieldCount ? m_fieldMap[static_cast<size_t>(i)] : nullptr;
}

void ProfilePage::showProfile(const TSiteInfo& profile)
{
    for (const TextField& f : kTextFields)
        findChild<QLineEdit*>(QLatin1String(f.widget))->setText(FromData(profile.*f.member));
    ui->CBAddr1->setCurrentIndex(profile.Addr1 >= 0 && profile.Addr1 < ui->CBAddr1->count() ? profile.Addr1 : 0);
    ui->CBAccountType->setCurrentIndex(
        profile.AccountType >= 0 && profile.AccountType < 2 ? profile.AccountType : 0);
}

void ProfilePage::commitProfile(TSiteInfo& profile) const
{
    for (const TextField& f : kTextFields)
        profile.*f.member = ToData(findChild<QLineEdit*>(QLatin1String(f.widget))->text());
    profile.Addr1 = ui->CBAddr1->currentIndex();
    profile.AccountType = ui->CBAccountType->currentIndex();
    profile.AffType = ui->CBAffType->currentIndex();
}

void ProfilePage::markFields(TNetwork* network)
{
    for (const QMetaObject::Connection& c : m_mirrors)
        disconnect(c);
    m_mirrors.clear();
    auto colour = [](QWidget* w, const QColor& c) {
        QPalette p = w->palette();
        p.setColor(QPalette::Base, c);
        w->setPalette(p);
    };
    for (QWidget* w : m_fieldMap)
        if (w)
            colour(w, palette().color(QPalette::Button));
    if (!network)
        return;
    ParseRegist(*network);
    if (!network->Forms)
        return;
    for (const RegistForm& form : *network->Forms) {
        for (const auto& entry : form.Fields) {
            QWidget* w = fieldWidget(entry->Control);
            if (!w)
                continue;
            colour(w, entry->Required ? kRequiredColour : kOptionColour);
            auto* source = qobject_cast<QLineEdit*>(w);
            if (entry->Mirror && source) {
                auto* target = findChild<QLineEdit*>(QStringLiteral("Ed") + FromData(entry->Target));
                if (target && target != source)
                    m_mirrors.push_back(connect(source, &QLineEdit::textChanged, target, &QLineEdit::setText));
            }
        }
    }
}

std::unique_ptr<SignupValues> ProfilePage::signupValues()
{
    ui->CBAffType->setCurrentIndex(DeriveAffType(ToData(ui->EdCompany->text())));
    return std::make_unique<PageSignupValues>(m_fieldMap);
}

void ProfilePage::checkSiteUrl()
{
    TrimField(ui->EdSiteUrl);
    const QString text = ui->EdSiteUrl->text();
    if (!text.isEmpty() && text.left(4).toLower() != QLatin1String("http"))
        ShowMessage(this, MessageType::Warning, QStringLiteral("http://を入力してください"));
}

void ProfilePage::checkPhone(QLineEdit* field)
{
    TrimField(field);
    const QString text = field->text();
    if (!text.isEmpty() && text.count(QLatin1Char('-')) < 2)
        ShowMessage(this, MessageType::Warning, QStringLiteral("例:00-0000-0000"));
}

} // namespace pw::gui
