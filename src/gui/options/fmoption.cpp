#include "gui/options/fmoption.h"

#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "settings/inilist.h"
#include "settings/secretstore.h"
#include "settings/settingsfile.h"
#include "ui_fmoption.h"

#include <QCheckBox>

namespace pw::gui {

TFmOption::TFmOption(TIniList& adStore, TIniList& mainStore, std::string folder, QWidget* parent)
    : QDialog(parent)
    , m_adStore(adStore)
    , m_mainStore(mainStore)
    , m_folder(std::move(folder))
    , ui(std::make_unique<Ui::TFmOption>())
{
    ui->setupUi(this);
    // Above the buttons: where the passwords of setups and logins are kept.
    m_keyring = new QCheckBox(QStringLiteral("パスワードをキーリングに保存する(&K)"), this);
    m_keyring->setObjectName(QStringLiteral("CBKeyring"));
    ui->MainLayout->insertWidget(ui->MainLayout->count() - 1, m_keyring);
    connect(ui->CBProxy, &QCheckBox::toggled, this, &TFmOption::proxyClicked);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TFmOption::confirm);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TFmOption::~TFmOption() = default;

void TFmOption::LoadOptions()
{
    ui->CBProxy->setChecked(m_adStore.ReadBool(kOptionsSection, "HttpProxy", false));
    proxyClicked();
    ui->EdProxyServer->setText(FromData(m_adStore.ReadString(kOptionsSection, "HttpProxyServer", "")));
    ui->EdPort->setText(QString::number(m_adStore.ReadInteger(kOptionsSection, "HttpProxyPort", 8080)));
    ui->EdServiceURL->setText(FromData(m_mainStore.ReadString(kOptionsSection, kServiceUrlKey, "")));
    m_keyring->setChecked(ReadPasswordPlace(m_mainStore) == PasswordPlace::Keyring);
}

bool TFmOption::keyringChosen() const
{
    return m_keyring->isChecked();
}

bool TFmOption::proxyOn() const
{
    return ui->CBProxy->isChecked();
}

QString TFmOption::proxyServer() const
{
    return ui->EdProxyServer->text();
}

bool TFmOption::proxyPort(int& port) const
{
    bool ok = false;
    port = ui->EdPort->text().trimmed().toInt(&ok);
    return ok;
}

QString TFmOption::serviceUrl() const
{
    return ui->EdServiceURL->text().trimmed();
}

void TFmOption::proxyClicked()
{
    ui->EdProxyServer->setEnabled(ui->CBProxy->isChecked());
    ui->EdPort->setEnabled(ui->CBProxy->isChecked());
}

void TFmOption::confirm()
{
    int port = 0;
    if (!proxyPort(port)) {
        // Nothing is stored or applied; the dialog stays open for a correction.
        ShowMessage(
            this, MessageType::Error, QStringLiteral("'%1' is not a valid integer value").arg(ui->EdPort->text()));
        return;
    }
    m_adStore.WriteBool(kOptionsSection, "HttpProxy", proxyOn());
    m_adStore.WriteString(kOptionsSection, "HttpProxyServer", ToData(proxyServer()));
    m_adStore.WriteInteger(kOptionsSection, "HttpProxyPort", port);
    Status saved = SaveSettingsFile(m_adStore, m_folder, kBannerFile);
    if (saved) {
        const std::string service = ToData(serviceUrl());
        if (service != m_mainStore.ReadString(kOptionsSection, kServiceUrlKey, "")) {
            m_mainStore.WriteString(kOptionsSection, kServiceUrlKey, service);
            saved = SaveSettingsFile(m_mainStore, m_folder, kMainSettingsFile);
        }
    }
    if (!saved)
        ShowMessage(this, MessageType::Error, ErrorText(saved));
    accept();
}

} // namespace pw::gui
