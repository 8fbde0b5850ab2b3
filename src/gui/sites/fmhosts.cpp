#include "gui/sites/fmhosts.h"

#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "gui/sites/sitesicons.h"
#include "ui_fmhosts.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFocusEvent>
#include <QMenu>

#include <algorithm>

namespace pw::gui {

namespace {

// Entries of the protocol box, in order.
constexpr int kLocalFolderEntry = 3;

int ProtocolEntry(const TSetup& setup)
{
    if (setup.Kind == skLocal)
        return kLocalFolderEntry;
    switch (setup.Protocol) {
    case SiteProtocol::Ftps:
        return 1;
    case SiteProtocol::Sftp:
        return 2;
    case SiteProtocol::Ftp:
        break;
    }
    return 0;
}

SiteProtocol ProtocolOfEntry(int entry)
{
    return entry == 1 ? SiteProtocol::Ftps : entry == 2 ? SiteProtocol::Sftp : SiteProtocol::Ftp;
}

QString Trimmed(QLineEdit* field)
{
    const QString text = field->text().trimmed();
    if (text != field->text())
        field->setText(text);
    return text;
}

const QString kFolderTitle = QStringLiteral("初期フォルダ[HTMLのルータフォルダ]");

} // namespace

TFmHosts::TFmHosts(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TFmHosts>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("FmHosts"));
    setWindowTitle(QStringLiteral("ホスト一覧"));
    // A fixed border: the size does not change (unless a large font needs more).
    setFixedSize(QSize(560, 400).expandedTo(minimumSizeHint()));

    ui->LVSetups->setColumnWidth(0, 213);
    ui->LVSetups->header()->setSectionsClickable(false);
    ui->LVSetups->header()->setSectionResizeMode(QHeaderView::Fixed);
    ui->LVSetups->setIconSize(QSize(16, 16));

    m_newMenu = new QMenu(this);
    m_newMenu->setObjectName(QStringLiteral("PMNew"));
    m_newMenu->setAccessibleName(QStringLiteral("新規"));
    m_newFtp = m_newMenu->addAction(ServerTypeIcon(skFtp), QStringLiteral("ＦＴＰホスト"));
    m_newFtp->setObjectName(QStringLiteral("MINewFtp"));
    m_newLocal = m_newMenu->addAction(ServerTypeIcon(skLocal), QStringLiteral("ローカルフォルダ"));
    m_newLocal->setObjectName(QStringLiteral("MINewLocal"));
    ui->CBProtocol->setItemIcon(kLocalFolderEntry, ServerTypeIcon(skLocal));
    for (int i = 0; i < kLocalFolderEntry; ++i)
        ui->CBProtocol->setItemIcon(i, ServerTypeIcon(skFtp));

    connect(ui->BtNew, &QPushButton::clicked, this, [this] {
        const QPoint corner = ui->BtNew->rect().bottomRight() - QPoint(5, 5);
        m_newMenu->popup(ui->BtNew->mapToGlobal(corner));
    });
    connect(m_newFtp, &QAction::triggered, this, &TFmHosts::NewFtpHost);
    connect(m_newLocal, &QAction::triggered, this, &TFmHosts::NewLocalFolder);
    connect(ui->BtDelete, &QPushButton::clicked, this, &TFmHosts::DeleteSetup);
    connect(ui->BtConnect, &QPushButton::clicked, this, [this] {
        CommitSetup();
        accept();
    });
    connect(ui->BtClose, &QPushButton::clicked, this, &TFmHosts::reject);
    connect(ui->LVSetups, &QTreeWidget::itemSelectionChanged, this, &TFmHosts::rowSelected);
    connect(ui->BtStandardPort, &QPushButton::clicked, this, [this] {
        ui->EdPort->setText(QString::number(DefaultPort(ProtocolOfEntry(ui->CBProtocol->currentIndex()))));
        ui->EdPort->setFocus();
    });
    connect(ui->CBAnonymous, &QCheckBox::toggled, this, &TFmHosts::anonymousToggled);
    connect(ui->CBAskPassword, &QCheckBox::toggled, this, [this](bool checked) {
        ui->EdPassword->setEnabled(!checked && !ui->CBAnonymous->isChecked());
        if (checked)
            ui->EdPassword->clear();
    });
    connect(ui->CBProtocol, &QComboBox::activated, this, &TFmHosts::protocolChosen);
    connect(ui->BtBrowse, &QPushButton::clicked, this, &TFmHosts::browseFolder);
    connect(ui->BtKeyFile, &QPushButton::clicked, this, &TFmHosts::browseKeyFile);

    for (QLineEdit* field : { ui->EdName, ui->EdName1, ui->EdHost, ui->EdPort, ui->EdUser, ui->EdPassword,
             ui->EdIniPath, ui->EdRootURL, ui->EdIniPath1, ui->EdKeyFile })
        field->installEventFilter(this);

    m_chooseFolder = [](QWidget* parent, const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(parent, title, start);
    };
    m_chooseKeyFile = [](QWidget* parent, const QString& title, const QString& start) {
        return QFileDialog::getOpenFileName(parent, title, start);
    };
    ShowSetup();
}

TFmHosts::~TFmHosts() = default;

QString TFmHosts::AnonymousPassword()
{
    return QStringLiteral("pagewick@example.com");
}

void TFmHosts::SetSetups(const std::vector<std::unique_ptr<TSetup>>& setups)
{
    const QSignalBlocker blocker(ui->LVSetups);
    ui->LVSetups->clear();
    m_setups.clear();
    m_current = nullptr;
    for (const auto& setup : setups) {
        m_setups.push_back(CopySetup(*setup));
        addRow(static_cast<int>(m_setups.size()) - 1, *m_setups.back());
    }
    ShowSetup();
}

void TFmHosts::addRow(int row, TSetup& setup)
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, FromData(setup.Name));
    item->setIcon(0, ServerTypeIcon(setup.Kind));
    ui->LVSetups->insertTopLevelItem(row, item);
}

int TFmHosts::currentRow() const
{
    auto it
        = std::find_if(m_setups.begin(), m_setups.end(), [this](const auto& s) { return s.get() == m_current; });
    return it == m_setups.end() ? -1 : static_cast<int>(it - m_setups.begin());
}

int TFmHosts::SelectedRow() const
{
    const QList<QTreeWidgetItem*> selected = ui->LVSetups->selectedItems();
    return selected.isEmpty() ? -1 : ui->LVSetups->indexOfTopLevelItem(selected.front());
}

bool TFmHosts::isFtpPage() const
{
    return ui->PCSetup->currentWidget() == ui->TSFtp;
}

QLineEdit* TFmHosts::nameField() const
{
    return isFtpPage() ? ui->EdName : ui->EdName1;
}

void TFmHosts::selectRowQuietly(int row)
{
    const QSignalBlocker blocker(ui->LVSetups);
    if (row < 0) {
        ui->LVSetups->clearSelection();
        ui->LVSetups->setCurrentItem(nullptr);
        return;
    }
    QTreeWidgetItem* item = ui->LVSetups->topLevelItem(row);
    ui->LVSetups->setCurrentItem(item);
    item->setSelected(true);
}

void TFmHosts::SelectSetup(int row)
{
    if (row < 0 || row >= static_cast<int>(m_setups.size())) {
        m_current = nullptr;
        selectRowQuietly(-1);
    } else {
        selectRowQuietly(row);
        m_current = m_setups[static_cast<size_t>(row)].get();
    }
    ShowSetup();
}

void TFmHosts::ShowSetup()
{
    const QSignalBlocker protocolBlocker(ui->CBProtocol);
    if (!m_current) {
        ui->PCSetup->setCurrentWidget(ui->TSFolder);
        ui->EdName1->clear();
        ui->EdIniPath1->clear();
        ui->CBLastLoginPath1->setChecked(false);
        for (QWidget* w : std::initializer_list<QWidget*> {
                 ui->EdName1, ui->EdIniPath1, ui->BtBrowse, ui->CBLastLoginPath1, ui->CBProtocol, ui->CBCharset })
            w->setEnabled(false);
        ui->CBProtocol->setCurrentIndex(kLocalFolderEntry);
        ui->CBCharset->setCurrentIndex(0);
        return;
    }
    const TSetup& setup = *m_current;
    ui->CBProtocol->setEnabled(true);
    ui->CBCharset->setEnabled(true);
    ui->CBProtocol->setCurrentIndex(ProtocolEntry(setup));
    ui->CBCharset->setCurrentIndex(static_cast<int>(setup.Charset)); // the box lists the charsets in enum order
    if (setup.Kind == skFtp) {
        ui->PCSetup->setCurrentWidget(ui->TSFtp);
        ui->EdName->setText(FromData(setup.Name));
        ui->EdHost->setText(FromData(setup.Host));
        ui->EdUser->setText(FromData(setup.User));
        ui->EdPassword->setText(FromData(setup.Password));
        // Runs the box's rule when its state changes.
        ui->CBAnonymous->setChecked(ui->EdUser->text() == QStringLiteral("anonymous"));
        ui->CBAskPassword->setChecked(setup.AskPassword);
        ui->EdIniPath->setText(FromData(setup.IniPath));
        ui->EdRootURL->setText(FromData(setup.RootURL));
        ui->CBLastLoginPath->setChecked(setup.LastLoginPath);
        ui->EdPort->setText(QString::number(setup.Port));
        ui->CBPassive->setChecked(setup.Passive);
        ui->EdKeyFile->setText(FromData(setup.KeyFile));
        ui->CBStoreDirectly->setChecked(setup.StoreDirectly);
        showProtocolFields(setup.Protocol);
        if (ui->EdName->isVisible())
            ui->EdName->setFocus();
    } else {
        ui->PCSetup->setCurrentWidget(ui->TSFolder);
        ui->EdName1->setText(FromData(setup.Name));
        ui->CBLastLoginPath1->setChecked(setup.LastLoginPath);
        ui->EdIniPath1->setText(FromData(setup.IniPath));
        for (QWidget* w :
            std::initializer_list<QWidget*> { ui->EdName1, ui->EdIniPath1, ui->BtBrowse, ui->CBLastLoginPath1 })
            w->setEnabled(true);
        if (ui->EdName1->isVisible())
            ui->EdName1->setFocus();
    }
}

void TFmHosts::showProtocolFields(SiteProtocol protocol)
{
    m_shownProtocol = protocol;
    const bool sftp = protocol == SiteProtocol::Sftp;
    ui->CBPassive->setEnabled(!sftp);
    ui->EdKeyFile->setEnabled(sftp);
    ui->BtKeyFile->setEnabled(sftp);
    ui->LbKeyFile->setEnabled(sftp);
}

void TFmHosts::CommitSetup()
{
    if (!m_current)
        return;
    TSetup& setup = *m_current;
    const int row = currentRow();
    auto rename = [&](QLineEdit* field) {
        const std::string name = ToData(field->text());
        if (name != setup.Name) {
            setup.Name = name;
            if (QTreeWidgetItem* item = ui->LVSetups->topLevelItem(row))
                item->setText(0, field->text());
        }
    };
    if (setup.Kind == skFtp) {
        setup.Port = ReadPort();
        rename(ui->EdName);
        setup.Host = ToData(ui->EdHost->text());
        setup.User = ToData(ui->EdUser->text());
        // A setup that asks each time keeps no password anywhere.
        setup.AskPassword = ui->CBAskPassword->isChecked();
        setup.Password = setup.AskPassword ? std::string() : ToData(ui->EdPassword->text());
        setup.IniPath = ToData(ui->EdIniPath->text().trimmed());
        setup.RootURL = ToData(ui->EdRootURL->text().trimmed());
        setup.LastLoginPath = ui->CBLastLoginPath->isChecked();
        setup.Protocol = ProtocolOfEntry(ui->CBProtocol->currentIndex());
        setup.Passive = ui->CBPassive->isChecked();
        setup.KeyFile = ToData(ui->EdKeyFile->text().trimmed());
        setup.StoreDirectly = ui->CBStoreDirectly->isChecked();
    } else {
        rename(ui->EdName1);
        setup.IniPath = ToData(ui->EdIniPath1->text().trimmed());
        setup.LastLoginPath = ui->CBLastLoginPath1->isChecked();
    }
    setup.Charset = static_cast<PageCharset>(
        std::clamp(ui->CBCharset->currentIndex(), 0, static_cast<int>(PageCharset::EucJp)));
}

int TFmHosts::ReadPort()
{
    bool ok = false;
    const int port = Trimmed(ui->EdPort).toInt(&ok);
    return ok && port > 0 ? port : -1;
}

bool TFmHosts::NameInUse(const std::string& name) const
{
    if (!m_current)
        return false;
    return std::any_of(
        m_setups.begin(), m_setups.end(), [&](const auto& s) { return s.get() != m_current && s->Name == name; });
}

std::string TFmHosts::MakeDefaultName(const std::string& prefix) const
{
    long largest = 0;
    for (int row = 0; row < ui->LVSetups->topLevelItemCount(); ++row) {
        const std::string caption = ToData(ui->LVSetups->topLevelItem(row)->text(0));
        if (caption.compare(0, prefix.size(), prefix) != 0 || caption.size() == prefix.size())
            continue;
        const std::string rest = caption.substr(prefix.size(), 10);
        if (!std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        largest = std::max(largest, std::stol(rest));
    }
    return prefix + std::to_string(largest + 1);
}

void TFmHosts::rowSelected()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    if (m_current) {
        const bool nameTaken = NameInUse(ToData(nameField()->text().trimmed()));
        const bool ftpBad = isFtpPage() && (ReadPort() < 1 || ui->EdHost->text().isEmpty());
        if (nameTaken || ftpBad) {
            selectRowQuietly(currentRow());
            return;
        }
        CommitSetup();
    }
    TSetup* chosen = m_setups[static_cast<size_t>(row)].get();
    if (chosen != m_current) {
        m_current = chosen;
        ShowSetup();
    }
}

void TFmHosts::insertSetup(std::unique_ptr<TSetup> setup)
{
    m_setups.insert(m_setups.begin(), std::move(setup));
    {
        const QSignalBlocker blocker(ui->LVSetups);
        addRow(0, *m_setups.front());
    }
    // Selecting the row runs the checks and commits the setup shown so far.
    ui->LVSetups->setCurrentItem(ui->LVSetups->topLevelItem(0));
}

void TFmHosts::NewFtpHost()
{
    auto setup = std::make_unique<TSetup>();
    setup->Name = MakeDefaultName(ToData(QStringLiteral("サーバー")));
    setup->Host = ToData(QStringLiteral("ホスト"));
    setup->LastLoginPath = false;
    setup->Port = 21;
    setup->Kind = skFtp;
    insertSetup(std::move(setup));
}

void TFmHosts::NewLocalFolder()
{
    auto setup = std::make_unique<TSetup>();
    setup->Name = MakeDefaultName(ToData(QStringLiteral("ローカルフォルダ")));
    setup->Kind = skLocal;
    insertSetup(std::move(setup));
}

void TFmHosts::DeleteSetup()
{
    const int row = SelectedRow();
    if (row < 0 || row != currentRow()) {
        ShowMessage(this, MessageType::Warning, QStringLiteral("リストからひとつを選んでください。"));
        return;
    }
    if (ShowMessage(this, MessageType::Confirmation, QStringLiteral("ほんとうに削除してもよろしいでしょうか？"),
            QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    m_current = nullptr;
    {
        const QSignalBlocker blocker(ui->LVSetups);
        delete ui->LVSetups->takeTopLevelItem(row);
    }
    m_setups.erase(m_setups.begin() + row);
    const int count = static_cast<int>(m_setups.size());
    SelectSetup(row < count ? row : row - 1);
}

bool TFmHosts::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        // Only when the focus moves inside the dialog, not when another window
        // (or a message box of a check) takes it.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            checkField(static_cast<QLineEdit*>(watched));
    }
    return QDialog::eventFilter(watched, event);
}

void TFmHosts::focusBack(QLineEdit* field)
{
    // After the focus change in progress has ended.
    QMetaObject::invokeMethod(field, qOverload<>(&QWidget::setFocus), Qt::QueuedConnection);
}

void TFmHosts::checkField(QLineEdit* field)
{
    if (m_checking || !m_current || !field->isEnabled())
        return;
    // A field of the other page loses the focus when another kind of setup has
    // just been shown: it no longer holds the current setup's value.
    if (ui->TSFtp->isAncestorOf(field) != (m_current->Kind == skFtp))
        return;
    m_checking = true;
    if (field == ui->EdName || field == ui->EdName1) {
        const QString name = Trimmed(field);
        QTreeWidgetItem* item = ui->LVSetups->topLevelItem(currentRow());
        if (item && name != item->text(0)) {
            if (NameInUse(ToData(name))) {
                ShowMessage(this, MessageType::Warning,
                    QStringLiteral("設定名は使われています、別の設定名を入力してください。"));
                focusBack(field);
            } else {
                item->setText(0, name);
            }
        }
    } else if (field == ui->EdHost) {
        if (ui->EdHost->text().isEmpty()) {
            ShowMessage(this, MessageType::Warning, QStringLiteral("ホストアドレスを入力してください。"));
            focusBack(field);
        } else if (ui->EdRootURL->text().isEmpty()) {
            ui->EdRootURL->setText(QStringLiteral("http://") + ui->EdHost->text() + QStringLiteral("/"));
        }
    } else if (field == ui->EdPort) {
        if (ReadPort() == -1) {
            ShowMessage(this, MessageType::Warning, QStringLiteral("ポート番号は正数で入力してください。"));
            focusBack(field);
        }
    } else {
        Trimmed(field);
    }
    m_checking = false;
}

void TFmHosts::anonymousToggled(bool checked)
{
    if (checked) {
        ui->EdUser->setText(QStringLiteral("anonymous"));
        ui->EdPassword->setText(AnonymousPassword());
    } else {
        ui->EdUser->setText(m_current ? FromData(m_current->User) : QString());
        ui->EdPassword->setText(m_current ? FromData(m_current->Password) : QString());
    }
    ui->EdUser->setEnabled(!checked);
    ui->EdPassword->setEnabled(!checked && !ui->CBAskPassword->isChecked());
}

void TFmHosts::protocolChosen(int index)
{
    if (!m_current)
        return;
    TSetup& setup = *m_current;
    const bool toLocal = index == kLocalFolderEntry;
    if (toLocal == (setup.Kind == skLocal)) {
        if (toLocal)
            return;
        // Another protocol of a remote host: a port left at the old default follows.
        const SiteProtocol protocol = ProtocolOfEntry(index);
        if (ReadPort() == DefaultPort(m_shownProtocol))
            ui->EdPort->setText(QString::number(DefaultPort(protocol)));
        showProtocolFields(protocol);
        return;
    }
    // Between a remote host and a local folder: the folders of one mean
    // nothing to the other, the name and the jump switch stay.
    CommitSetup();
    setup.IniPath.clear();
    setup.RootURL.clear();
    if (toLocal) {
        setup.Kind = skLocal;
        setup.Host.clear();
    } else {
        setup.Kind = skFtp;
        setup.Protocol = ProtocolOfEntry(index);
        setup.Host = ToData(QStringLiteral("ホスト"));
        setup.Port = DefaultPort(setup.Protocol);
    }
    if (QTreeWidgetItem* item = ui->LVSetups->topLevelItem(currentRow()))
        item->setIcon(0, ServerTypeIcon(setup.Kind));
    ShowSetup();
}

void TFmHosts::browseFolder()
{
    const QString chosen = m_chooseFolder(this, kFolderTitle, ui->EdIniPath1->text().trimmed());
    if (chosen.isEmpty())
        return;
    ui->EdIniPath1->setText(chosen);
    ui->EdIniPath1->setFocus();
}

void TFmHosts::browseKeyFile()
{
    const QString chosen
        = m_chooseKeyFile(this, QStringLiteral("秘密鍵ファイル"), ui->EdKeyFile->text().trimmed());
    if (chosen.isEmpty())
        return;
    ui->EdKeyFile->setText(chosen);
    ui->EdKeyFile->setFocus();
}

void TFmHosts::reject()
{
    if (!m_closingByBox)
        CommitSetup();
    QDialog::reject();
}

void TFmHosts::closeEvent(QCloseEvent* event)
{
    m_closingByBox = true;
    QDialog::closeEvent(event);
    m_closingByBox = false;
}

} // namespace pw::gui
