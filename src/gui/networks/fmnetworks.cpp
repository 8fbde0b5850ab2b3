#include "gui/networks/fmnetworks.h"

#include "gui/common/browserwindow.h"
#include "gui/common/datatext.h"
#include "gui/common/fmmessage.h"
#include "gui/common/messagebox.h"
#include "gui/networks/profilepage.h"
#include "gui/networks/signupchecker.h"
#include "gui/workspace.h"
#include "networks/definitions.h"
#include "networks/signupfill.h"
#include "networks/siteinfo.h"
#include "ui_fmnetworks.h"

#include <QComboBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>

namespace pw::gui {

namespace {

TFmNetworks::InputHandler& InputSeam()
{
    static TFmNetworks::InputHandler handler;
    return handler;
}

std::optional<QString> AskText(
    QWidget* parent, const QString& caption, const QString& prompt, const QString& value)
{
    if (InputSeam())
        return InputSeam()(caption, prompt, value);
    bool ok = false;
    const QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

const QString kNewNetworkPrefix = QStringLiteral("新広告代理店名");
const QString kNameInUse = QStringLiteral("設定名は使われています、別の設定名を入力してください。");
const QString kChooseOne = QStringLiteral("リストからひとつを選んでください。");
} // namespace

void TFmNetworks::SetInputHandler(InputHandler handler)
{
    InputSeam() = std::move(handler);
}

TFmNetworks::TFmNetworks(Workspace& workspace, QWidget* parent)
    : QDialog(parent)
    , m_workspace(workspace)
    , ui(std::make_unique<Ui::TFmNetworks>())
{
    ui->setupUi(this);
    ui->LVNetworks->setColumnWidth(0, 200);
    m_page = ui->GBSiteInfo;
    setMaintainerMode(false);
    // The fields scroll up and down only, so their area is as wide as they need.
    ui->SBFields->setMinimumWidth(
        ui->SBFieldsContents->minimumSizeHint().width() + ui->SBFields->verticalScrollBar()->sizeHint().width());

    connect(ui->LVNetworks, &QTreeWidget::itemSelectionChanged, this, &TFmNetworks::networkSelected);
    connect(ui->EdName, &QLineEdit::editingFinished, this, &TFmNetworks::nameEdited);
    connect(m_page->user(), &QLineEdit::textChanged, this, &TFmNetworks::userChanged);
    connect(ui->EdLoginURL, &QLineEdit::textChanged, this, &TFmNetworks::userChanged);
    connect(ui->EdLoginURL, &QLineEdit::editingFinished, this, &TFmNetworks::checkLoginUrl);
    const QList<QLineEdit*> trimmed = { ui->EdCharacter, ui->EdFieldUser, ui->EdFieldPassword, ui->EdFieldOthers,
        ui->EdRegist, ui->EdRegistURL };
    for (QLineEdit* edit : trimmed)
        connect(edit, &QLineEdit::editingFinished, this, [edit] { TrimField(edit); });
    connect(m_page->profiles(), qOverload<int>(&QComboBox::activated), this, &TFmNetworks::profileChosen);
    connect(ui->BtnNew, &QPushButton::clicked, this, &TFmNetworks::newNetwork);
    connect(ui->BtnDel, &QPushButton::clicked, this, &TFmNetworks::deleteNetwork);
    connect(m_page, &ProfilePage::newProfileClicked, this, &TFmNetworks::newProfile);
    connect(m_page, &ProfilePage::deleteProfileClicked, this, &TFmNetworks::deleteProfile);
    connect(m_page, &ProfilePage::renameProfileClicked, this, &TFmNetworks::renameProfile);
    connect(ui->P3DLogon, &QPushButton::clicked, this, &TFmNetworks::login);
    connect(ui->P3DRegist, &QPushButton::clicked, this, &TFmNetworks::signup);
    connect(ui->BtnClose, &QPushButton::clicked, this, &TFmNetworks::closeAndCommit);
    connect(ui->SBSaveSystem, &QPushButton::clicked, this, &TFmNetworks::exportDefinitions);
    ui->Label8->installEventFilter(this);

    m_checker = new SignupChecker(
        m_workspace.Networks, [this] { return m_page->signupValues(); }, this);
    setLogonActive(false);
    setRegistActive(false);
}

// The main window frees the networks before its dialogs: nothing here may
// touch them.
TFmNetworks::~TFmNetworks() = default;

void TFmNetworks::setExplanation(TFmMessage* explanation)
{
    m_explanation = explanation;
}

void TFmNetworks::reload()
{
    // Signup windows of networks that are gone are let go.
    m_checker->forgetRemovedNetworks();
    m_currentNetwork = nullptr;
    m_currentSiteInfo = nullptr;
    {
        const QSignalBlocker block(m_page->profiles());
        m_page->profiles()->clear();
        for (const auto& profile : m_workspace.Profiles)
            m_page->profiles()->addItem(FromData(profile->SetupName));
    }
    {
        const QSignalBlocker block(ui->LVNetworks);
        ui->LVNetworks->clear();
        for (const auto& network : m_workspace.Networks)
            new QTreeWidgetItem(ui->LVNetworks, { FromData(network->Name) });
    }
    if (!m_workspace.Profiles.empty()) {
        m_page->profiles()->setCurrentIndex(0);
        switchProfile(0, false);
    }
    if (!m_workspace.Networks.empty())
        selectRow(0);
    else
        ShowNetwork();
}

void TFmNetworks::setMaintainerMode(bool on)
{
    for (QWidget* w : { static_cast<QWidget*>(ui->EdSystemCode), static_cast<QWidget*>(ui->SBSaveSystem),
             static_cast<QWidget*>(ui->EdRegist), static_cast<QWidget*>(ui->EdRegistURL) })
        w->setVisible(on);
}

bool TFmNetworks::maintainerMode() const
{
    return !ui->EdSystemCode->isHidden();
}

bool TFmNetworks::eventFilter(QObject* watched, QEvent* event)
{
    // The maintainer's gesture: Ctrl, Shift and Alt held while pressing the name label.
    if (watched == ui->Label8 && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        const Qt::KeyboardModifiers all = Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier;
        if ((press->modifiers() & all) == all) {
            setMaintainerMode(!maintainerMode());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFmNetworks::setLogonActive(bool active)
{
    m_logonActive = active;
    ui->P3DLogon->setStyleSheet(active ? QStringLiteral("color: blue;") : QStringLiteral("color: palette(dark);"));
    ui->P3DLogon->setProperty("active", active);
}

void TFmNetworks::setRegistActive(bool active)
{
    m_registActive = active;
    ui->P3DRegist->setStyleSheet(
        active ? QStringLiteral("color: blue;") : QStringLiteral("color: palette(dark);"));
    ui->P3DRegist->setProperty("active", active);
}

TLoginInfo* TFmNetworks::CurrentLogin() const
{
    if (!m_currentNetwork || !m_currentSiteInfo)
        return nullptr;
    return m_currentNetwork->FindLogin(m_currentSiteInfo->SetupName);
}

void TFmNetworks::ShowNetwork()
{
    TNetwork* n = m_currentNetwork;
    if (!n) {
        setLogonActive(false);
        return;
    }
    const bool editable = !n->IsSystem() || maintainerMode();
    for (QLineEdit* e : { ui->EdName, ui->EdLoginURL, ui->EdCharacter, ui->EdFieldUser, ui->EdFieldPassword,
             ui->EdFieldOthers, ui->EdRegistURL })
        e->setReadOnly(!editable);
    setRegistActive(n->IsSystem());
    ui->EdName->setText(FromData(n->Name));
    ui->EdLoginURL->setText(FromData(n->LoginURL));
    ui->EdCharacter->setText(FromData(n->Character));
    ui->EdFieldUser->setText(FromData(n->FieldUser));
    ui->EdFieldPassword->setText(FromData(n->FieldPassword));
    ui->EdFieldOthers->setText(FromData(n->FieldOthers));
    ui->EdRegistURL->setText(FromData(n->RegistURL));
    ui->EdSystemCode->setText(FromData(n->System));
    ui->EdRegist->setText(FromData(n->Regist));
    if (TLoginInfo* l = CurrentLogin()) {
        m_page->user()->setText(FromData(l->User));
        m_page->password()->setText(FromData(l->Password));
        setLogonActive(!ui->EdLoginURL->text().isEmpty());
    } else {
        m_page->user()->clear();
        m_page->password()->clear();
        setLogonActive(false);
    }
    m_page->markFields(m_currentNetwork);
}

void TFmNetworks::CommitNetwork()
{
    TNetwork* n = m_currentNetwork;
    if (!n)
        return;
    const std::string name = ToData(ui->EdName->text());
    if (name != n->Name) {
        n->Name = name;
        if (QTreeWidgetItem* row = ui->LVNetworks->topLevelItem(rowOf(n))) {
            const QSignalBlocker block(ui->LVNetworks);
            row->setText(0, ui->EdName->text());
        }
    }
    if (m_currentSiteInfo) {
        if (m_page->user()->text().isEmpty() && m_page->password()->text().isEmpty())
            RemoveLogin(*n, m_currentSiteInfo->SetupName);
        else
            n->SetLogin(
                m_currentSiteInfo->SetupName, ToData(m_page->user()->text()), ToData(m_page->password()->text()));
    }
    n->LoginURL = ToData(ui->EdLoginURL->text());
    n->Character = ToData(ui->EdCharacter->text());
    n->FieldUser = ToData(ui->EdFieldUser->text());
    n->FieldPassword = ToData(ui->EdFieldPassword->text());
    n->FieldOthers = ToData(ui->EdFieldOthers->text());
    n->System = ToData(ui->EdSystemCode->text());
    n->Regist = ToData(ui->EdRegist->text());
    n->RegistURL = ToData(ui->EdRegistURL->text());
}

void TFmNetworks::ShowSiteInfo()
{
    if (m_currentSiteInfo)
        m_page->showProfile(*m_currentSiteInfo);
}

void TFmNetworks::CommitSiteInfo()
{
    if (m_currentSiteInfo)
        m_page->commitProfile(*m_currentSiteInfo);
}

int TFmNetworks::rowOf(const TNetwork* network) const
{
    for (size_t i = 0; i < m_workspace.Networks.size(); ++i)
        if (m_workspace.Networks[i].get() == network)
            return static_cast<int>(i);
    return -1;
}

void TFmNetworks::selectRow(int row)
{
    if (QTreeWidgetItem* item = ui->LVNetworks->topLevelItem(row))
        ui->LVNetworks->setCurrentItem(item);
}

void TFmNetworks::networkSelected()
{
    if (m_selecting)
        return;
    QTreeWidgetItem* item = ui->LVNetworks->currentItem();
    if (!item || !item->isSelected())
        return;
    const int row = ui->LVNetworks->indexOfTopLevelItem(item);
    if (m_currentNetwork) {
        const std::string name = ToData(ui->EdName->text());
        for (const auto& other : m_workspace.Networks) {
            if (other.get() != m_currentNetwork && other->Name == name) {
                ShowMessage(this, MessageType::Warning, kNameInUse);
                m_selecting = true;
                selectRow(rowOf(m_currentNetwork));
                m_selecting = false;
                return;
            }
        }
        CommitNetwork();
    }
    TNetwork* chosen = row >= 0 && row < static_cast<int>(m_workspace.Networks.size())
        ? m_workspace.Networks[static_cast<size_t>(row)].get()
        : nullptr;
    if (chosen != m_currentNetwork) {
        m_currentNetwork = chosen;
        ShowNetwork();
    }
}

void TFmNetworks::nameEdited()
{
    TrimField(ui->EdName);
    const QString text = ui->EdName->text();
    QTreeWidgetItem* row = m_currentNetwork ? ui->LVNetworks->topLevelItem(rowOf(m_currentNetwork)) : nullptr;
    if (!row || text == row->text(0))
        return;
    const std::string name = ToData(text);
    for (const auto& other : m_workspace.Networks) {
        if (other.get() != m_currentNetwork && other->Name == name) {
            ShowMessage(this, MessageType::Warning, kNameInUse);
            ui->EdName->setFocus();
            return;
        }
    }
    const QSignalBlocker block(ui->LVNetworks);
    row->setText(0, text);
}

void TFmNetworks::userChanged()
{
    const QString before = m_page->user()->text();
    TrimField(m_page->user());
    if (m_page->user()->text() != before)
        return; // the change comes round again
    setLogonActive(!m_page->user()->text().isEmpty() && !ui->EdLoginURL->text().isEmpty());
}

void TFmNetworks::checkLoginUrl()
{
    TrimField(ui->EdLoginURL);
    const std::string url = ToData(ui->EdLoginURL->text());
    if (!url.empty() && !PostableLoginOrigin(url))
        ShowMessage(this, MessageType::Warning, FromData(UnsafeLoginURLMessage(ToData(ui->EdName->text()), url)));
}

void TFmNetworks::profileChosen(int index)
{
    switchProfile(index, true);
}

void TFmNetworks::switchProfile(int index, bool commitOld)
{
    if (index < 0 || index >= static_cast<int>(m_workspace.Profiles.size())) {
        m_currentSiteInfo = nullptr;
        return;
    }
    TSiteInfo* chosen = m_workspace.Profiles[static_cast<size_t>(index)].get();
    if (chosen == m_currentSiteInfo)
        return;
    if (m_currentSiteInfo && commitOld) {
        CommitNetwork();
        CommitSiteInfo();
    }
    m_currentSiteInfo = chosen;
    ShowNetwork();
    ShowSiteInfo();
}

void TFmNetworks::newNetwork()
{
    int largest = 0;
    for (int i = 0; i < ui->LVNetworks->topLevelItemCount(); ++i) {
        const QString caption = ui->LVNetworks->topLevelItem(i)->text(0);
        if (!caption.startsWith(kNewNetworkPrefix))
            continue;
        bool ok = false;
        const int number = caption.mid(kNewNetworkPrefix.size(), 10).toInt(&ok);
        if (ok && caption.size() - kNewNetworkPrefix.size() <= 10)
            largest = std::max(largest, number);
    }
    auto network = std::make_unique<TNetwork>();
    network->Name = ToData(kNewNetworkPrefix + QString::number(largest + 1));
    if (m_currentNetwork) {
        network->FieldUser = m_currentNetwork->FieldUser;
        network->FieldPassword = m_currentNetwork->FieldPassword;
    }
    const QString caption = FromData(network->Name);
    m_workspace.Networks.push_back(std::move(network));
    {
        const QSignalBlocker block(ui->LVNetworks);
        new QTreeWidgetItem(ui->LVNetworks, { caption });
    }
    selectRow(ui->LVNetworks->topLevelItemCount() - 1);
}

void TFmNetworks::deleteNetwork()
{
    QTreeWidgetItem* item = ui->LVNetworks->currentItem();
    const int row = item && item->isSelected() ? ui->LVNetworks->indexOfTopLevelItem(item) : -1;
    if (row < 0 || !m_currentNetwork || row != rowOf(m_currentNetwork)) {
        ShowMessage(this, MessageType::Warning, kChooseOne);
        return;
    }
    QString question = QStringLiteral("ほんとうに削除してもよろしいでしょうか？");
    if (m_currentNetwork->IsSystem())
        question.prepend(QStringLiteral("システムで設定されたネットワーク名です。"));
    if (ShowMessage(this, MessageType::Confirmation, question, QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    m_currentNetwork = nullptr;
    // Banners of the network fall back to その他 before it goes.
    const TNetwork* doomed = m_workspace.Networks[static_cast<size_t>(row)].get();
    for (const auto& banner : m_workspace.Banners.Rows)
        if (banner->Network == doomed)
            banner->Network = nullptr;
    m_workspace.Networks.erase(m_workspace.Networks.begin() + row);
    m_checker->forgetRemovedNetworks();
    {
        const QSignalBlocker block(ui->LVNetworks);
        delete ui->LVNetworks->takeTopLevelItem(row);
    }
    const int count = ui->LVNetworks->topLevelItemCount();
    if (count == 0) {
        ShowNetwork();
        return;
    }
    ui->LVNetworks->clearSelection();
    selectRow(std::min(row, count - 1));
}

void TFmNetworks::newProfile()
{
    const std::optional<QString> answer
        = AskText(this, QStringLiteral("新規登録情報"), QStringLiteral("登録情報名"), {});
    if (!answer)
        return;
    const std::string name = TrimBlanks(ToData(*answer));
    if (name.empty())
        return;
    if (FindSiteInfo(m_workspace.Profiles, name)) {
        ShowMessage(this, MessageType::Warning,
            QStringLiteral("登録情報名はすでに使われています、別の登録情報名を入力してください。"));
        return;
    }
    CommitSiteInfo();
    auto profile = std::make_unique<TSiteInfo>();
    profile->SetupName = name;
    if (m_currentSiteInfo)
        profile->CopyFrom(*m_currentSiteInfo);
    m_workspace.Profiles.push_back(std::move(profile));
    m_page->profiles()->addItem(FromData(name));
    const int index = m_page->profiles()->count() - 1;
    m_page->profiles()->setCurrentIndex(index);
    switchProfile(index, true);
}

void TFmNetworks::deleteProfile()
{
    if (m_workspace.Profiles.size() == 1) {
        ShowMessage(this, MessageType::Warning, QStringLiteral("最後の登録情報は削除できません。"));
        return;
    }
    const int index = m_page->profiles()->currentIndex();
    if (index < 0)
        return;
    const QString question = QStringLiteral("登録情報[") + m_page->profiles()->currentText()
        + QStringLiteral("]をほんとうに削除してもよろしいでしょうか？");
    if (ShowMessage(this, MessageType::Confirmation, question, QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    TSiteInfo* gone = m_workspace.Profiles[static_cast<size_t>(index)].get();
    RemoveProfileLogins(m_workspace.Networks, gone->SetupName);
    if (gone == m_currentSiteInfo)
        m_currentSiteInfo = nullptr;
    m_workspace.Profiles.erase(m_workspace.Profiles.begin() + index);
    {
        const QSignalBlocker block(m_page->profiles());
        m_page->profiles()->removeItem(index);
    }
    int next = m_page->profiles()->currentIndex();
    if (next < 0)
        next = m_page->profiles()->count() - 1;
    m_page->profiles()->setCurrentIndex(next);
    switchProfile(next, false);
}

void TFmNetworks::renameProfile()
{
    if (!m_currentSiteInfo)
        return;
    const std::optional<QString> answer = AskText(this, QStringLiteral("新しい設定名"),
        QStringLiteral("新しい設定名:"), FromData(m_currentSiteInfo->SetupName));
    if (!answer)
        return;
    // The logins stored under the old name follow the profile to its new name.
    const Status renamed
        = RenameSiteInfo(m_workspace.Profiles, m_workspace.Networks, *m_currentSiteInfo, ToData(*answer));
    if (!renamed) {
        ShowMessage(this, MessageType::Warning, ErrorText(renamed));
        return;
    }
    m_page->profiles()->setItemText(m_page->profiles()->currentIndex(), FromData(m_currentSiteInfo->SetupName));
}

void TFmNetworks::login()
{
    if (!m_logonActive)
        return;
    if (!m_currentNetwork) {
        ShowMessage(this, MessageType::Warning, QStringLiteral("リストから広告代理店を選んでください。"));
        return;
    }
    CommitNetwork();
    if (TLoginInfo* l = CurrentLogin())
        emit loginRequested(l);
    else
        ShowMessage(
            this, MessageType::Warning, QStringLiteral("広告代理店にログイン名とパスワードを入力してください。"));
}

BrowserWindow* TFmNetworks::signupWindow(const TNetwork& network) const
{
    return m_checker->window(network);
}

SignupChecker* TFmNetworks::signupChecker() const
{
    return m_checker;
}

void TFmNetworks::signup()
{
    if (!m_registActive)
        return;
    if (!m_currentNetwork) {
        ShowMessage(this, MessageType::Warning, kChooseOne);
        return;
    }
    if (m_explanation && !m_explanation->skipNextTime())
        m_explanation->exec();
    m_checker->open(*m_currentNetwork, ui->EdRegistURL->text());
}

void TFmNetworks::checkSignupWindows()
{
    m_checker->check();
}

void TFmNetworks::exportDefinitions()
{
    const std::optional<QString> answer
        = AskText(this, QStringLiteral("Network Version"), QStringLiteral("Network Version"), QStringLiteral("1"));
    CommitNetwork();
    TIniList scratch;
    const Status written = ExportNetworks(
        scratch, m_workspace.Networks, ToData(answer.value_or(QStringLiteral("1"))), m_workspace.SettingsFolder);
    if (!written) {
        ShowMessage(this, MessageType::Error, ErrorText(written));
        return;
    }
    emit definitionsExported(QString::fromStdString(m_workspace.SettingsFolder) + QLatin1Char('/')
        + QString::fromLatin1(kDefinitionsFile.data(), static_cast<qsizetype>(kDefinitionsFile.size())));
}

void TFmNetworks::closeAndCommit()
{
    CommitNetwork();
    CommitSiteInfo();
    accept();
}

void TFmNetworks::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        closeAndCommit();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFmNetworks::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Tall enough to show every field without scrolling where the screen allows.
    const int chrome = height() - ui->SBFields->viewport()->height();
    const int wanted = ui->SBFieldsContents->sizeHint().height() + chrome;
    const QScreen* screen = this->screen();
    const int room = screen ? screen->availableGeometry().height() - 60 : wanted;
    if (height() < std::min(wanted, room))
        resize(width(), std::min(wanted, room));
    m_checker->start();
}

void TFmNetworks::hideEvent(QHideEvent* event)
{
    m_checker->stop();
    QDialog::hideEvent(event);
}

} // namespace pw::gui
