#include "gui/sites/sitesarea.h"

#include "gui/common/actionlist.h"
#include "gui/common/datatext.h"
#include "gui/common/emptyhint.h"
#include "gui/common/framewidgets.h"
#include "gui/common/messagebox.h"
#include "gui/common/opendocuments.h"
#include "gui/common/passworddialog.h"
#include "gui/sites/connectiontreemodel.h"
#include "gui/sites/filelistmodel.h"
#include "gui/sites/fmhosts.h"
#include "gui/sites/sitesicons.h"
#include "gui/workspace.h"
#include "settings/settingsfile.h"
#include "shell/passwords.h"
#include "sites/documents.h"

#include <QComboBox>

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace pw::gui {

namespace {

SitesArea::Widgets BuildWidgets(QTabWidget* pages)
{
    SitesArea::Widgets w {};
    w.pages = pages;
    w.setups = new QComboBox;
    w.setups->setObjectName(QStringLiteral("CBSetups"));
    w.setups->setFixedWidth(162);
    // A list that drops down below the box, where every entry shows, rather
    // than one laid over it with the entries above the current one cut off.
    w.setups->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    w.setups->setMaxVisibleItems(20);
    w.setups->setMaxVisibleItems(16);
    w.setups->setAccessibleName(QStringLiteral("サーバーまたはフォルダ"));
    w.setups->setToolTip(QStringLiteral("サーバーまたはフォルダを選んで、次の接続ボタンをクリックしてください"));
    w.hostsButton = MakeCommandButton(Command::TBHosts, QStringLiteral("サーバー・フォルダのリストの設定"));
    w.connectButton
        = MakeCommandButton(Command::TBConnect, QStringLiteral("ＦＴＰサーバーに接続・フォルダのオープン"));
    w.disconnectButton
        = MakeCommandButton(Command::TBDisconnect, QStringLiteral("ＦＴＰサーバーに切断・フォルダのクローズ"));
    w.reconnectButton = MakeCommandButton(Command::TBReconnect, QStringLiteral("ＦＴＰサーバーに再接続"));

    w.listPage = new QWidget;
    w.listPage->setObjectName(QStringLiteral("TSDirectory"));
    auto* layout = new QVBoxLayout(w.listPage);
    layout->setContentsMargins(0, 0, 0, 0);
    w.listSplitter = new QSplitter(Qt::Horizontal, w.listPage);
    w.listSplitter->setObjectName(QStringLiteral("Splitter1"));
    w.listSplitter->setChildrenCollapsible(false);
    layout->addWidget(w.listSplitter);

    w.tree = new QTreeView(w.listSplitter);
    w.tree->setObjectName(QStringLiteral("TVConnected"));
    w.tree->setAccessibleName(QStringLiteral("接続とフォルダ"));
    w.tree->setHeaderHidden(true);
    w.tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    w.tree->setContextMenuPolicy(Qt::CustomContextMenu);
    w.files = MakeReportList(QStringLiteral("LVFiles"));
    w.files->setAccessibleName(QStringLiteral("ファイル一覧"));
    w.files->setSelectionMode(QAbstractItemView::ExtendedSelection);
    w.listSplitter->addWidget(w.tree);
    w.listSplitter->addWidget(w.files);
    w.listSplitter->setStretchFactor(1, 1);
    return w;
}

} // namespace

SitesArea::SitesArea(Workspace& workspace, SiteFeedback& feedback, ActionList& actions, OpenDocuments& documents,
    QTabWidget* pages, QWidget* window)
    : QObject(window)
    , m_workspace(workspace)
    , m_feedback(feedback)
    , m_widgets(BuildWidgets(pages))
    , m_documents(documents)
    , m_hostsDialog(new TFmHosts(window))
{
    m_treeModel = new ConnectionTreeModel(workspace.Tree, this);
    m_widgets.tree->setModel(m_treeModel);
    m_widgets.tree->setSelectionMode(QAbstractItemView::SingleSelection);
    FollowExpansion(m_widgets.tree, m_treeModel);
    connect(m_widgets.tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
        &SitesArea::onTreeCurrentChanged);

    m_fileModel = new FileListModel(workspace.Tree, this);
    m_widgets.files->setModel(m_fileModel);
    for (int column = 0; column < FileListModel::ColumnCount; ++column)
        m_widgets.files->setColumnWidth(column, FileListModel::defaultWidth(column));
    AttachHeader(m_widgets.files->header(), m_fileModel);
    connect(m_widgets.files, &QAbstractItemView::doubleClicked, this, &SitesArea::openEntry);
    m_filesHint = new EmptyHint(m_widgets.files, m_treeModel, QString());
    showFirstStep();
    connect(m_widgets.files->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &SitesArea::commandStateChanged);
    connect(m_widgets.setups, &QComboBox::currentIndexChanged, this, &SitesArea::commandStateChanged);

    connect(m_widgets.connectButton, &QToolButton::clicked, this, &SitesArea::connectSite);
    connect(m_widgets.disconnectButton, &QToolButton::clicked, this, &SitesArea::disconnectSite);
    connect(m_widgets.reconnectButton, &QToolButton::clicked, this, &SitesArea::reconnectSite);
    connect(m_widgets.hostsButton, &QToolButton::clicked, this, &SitesArea::editHosts);
    connect(actions.action(Command::RefreshDir), &QAction::triggered, this, &SitesArea::refreshFolder);
    connect(actions.action(Command::FileOpen), &QAction::triggered, this, [this] {
        if (listPageActive())
            openEntry();
    });
    connect(actions.action(Command::FilePreview), &QAction::triggered, this, [this] {
        if (listPageActive())
            previewEntry();
    });
}

SitesArea::~SitesArea() = default;

bool SitesArea::listPageActive() const
{
    return m_widgets.pages->currentIndex() == 0;
}

void SitesArea::fillSelector(int selected)
{
    QSignalBlocker block(m_widgets.setups);
    m_widgets.setups->clear();
    for (const auto& setup : m_workspace.Setups.Setups)
        m_widgets.setups->addItem(ServerTypeIcon(setup->Kind), FromData(setup->Name));
    m_widgets.setups->setCurrentIndex(selected < m_widgets.setups->count() ? selected : -1);
    showFirstStep();
}

void SitesArea::showFirstStep()
{
    const QString open
        = QStringLiteral("\nここに出るページをダブルクリックすると、タブで開いて広告を編集できます。");
    if (m_workspace.Setups.Setups.empty())
        m_filesHint->setText(
            QStringLiteral(
                "はじめに、ツールバーの「サーバー・フォルダのリスト」でページのあるサーバーかフォルダを登録し、"
                "「接続」をクリックします。")
            + open);
    else
        m_filesHint->setText(
            QStringLiteral("ツールバーでサーバーかフォルダを選び、「接続」をクリックします。") + open);
}

void SitesArea::loadSetups()
{
    m_workspace.Setups = LoadSetups(m_workspace.IniListSetup);
    fillSelector(m_workspace.Setups.SelectedIndex);
}

void SitesArea::storeSetups()
{
    // With the keyring, the passwords go there and the file gets none.
    const Status kept = SaveSetupsWithSecrets(m_workspace.IniListSetup, m_workspace.Setups.Setups,
        m_widgets.setups->currentIndex(), m_workspace.Tree.Connections(), *m_workspace.Secrets);
    if (!kept)
        m_feedback.Message(MessageType::Error, kept.error);
}

bool SitesArea::saveSetupsFile()
{
    storeSetups();
    const Status saved = SaveSettingsFile(m_workspace.IniListSetup, m_workspace.SettingsFolder, kMainSettingsFile);
    if (!saved)
        m_feedback.Message(MessageType::Error, saved.error);
    return saved.ok;
}

bool SitesArea::hasSetupSelected() const
{
    return m_widgets.setups->currentIndex() >= 0;
}

bool SitesArea::hasTreeSelection() const
{
    return m_workspace.Tree.Selected() != nullptr;
}

bool SitesArea::canReconnect() const
{
    const TConnection* target = m_workspace.Tree.ReconnectTarget(m_documents.activeFile());
    return target && target->NeedsReconnect;
}

TNode* SitesArea::selectedEntry() const
{
    if (!m_workspace.Tree.Selected())
        return nullptr;
    const QModelIndexList rows = m_widgets.files->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return nullptr;
    // The first selected entry in list order.
    QModelIndex first = rows.front();
    for (const QModelIndex& row : rows)
        if (row.row() < first.row())
            first = row;
    return m_fileModel->nodeAt(first);
}

void SitesArea::syncViews()
{
    m_syncing = true;
    m_treeModel->refresh();
    m_fileModel->refresh();
    showSelection();
    m_syncing = false;
    emit commandStateChanged();
}

void SitesArea::showSelection()
{
    // One branch open at a time: the way down to the selected folder.
    QTreeView* view = m_widgets.tree;
    const QModelIndex selected = m_treeModel->indexOf(m_workspace.Tree.Selected());
    view->collapseAll();
    for (QModelIndex up = selected; up.isValid(); up = up.parent())
        view->expand(up);
    if (selected.isValid()) {
        view->selectionModel()->setCurrentIndex(selected, QItemSelectionModel::ClearAndSelect);
        view->scrollTo(selected);
    } else {
        view->selectionModel()->clear();
    }
    m_widgets.files->scrollToTop();
}

void SitesArea::onTreeCurrentChanged(const QModelIndex& current, const QModelIndex&)
{
    if (m_syncing)
        return;
    TDirNode* folder = m_treeModel->nodeAt(current);
    if (folder == m_workspace.Tree.Selected())
        return;
    m_workspace.Tree.Select(folder);
    // A folder that could not be listed keeps the old selection.
    syncViews();
}

TFileNode* SitesArea::findFile(const std::string& setupName, const std::string& path)
{
    const auto& setups = m_workspace.Setups.Setups;
    const auto setup
        = std::find_if(setups.begin(), setups.end(), [&](const auto& s) { return s->Name == setupName; });
    const size_t cut = path.rfind('/');
    if (setup == setups.end() || cut == std::string::npos)
        return nullptr;
    m_widgets.setups->setCurrentIndex(static_cast<int>(setup - setups.begin()));
    // A setup already connected is used as it is.
    if (!m_workspace.Tree.FindConnection(**setup))
        connectSite();
    TDirNode* folder = m_workspace.Tree.FindConnection(**setup);
    const std::string folderPath = cut == 0 ? std::string("/") : path.substr(0, cut);
    while (folder && folder->Path != folderPath) {
        if (!folder->Children && !m_workspace.Tree.ListFolder(*folder))
            return nullptr;
        TDirNode* next = nullptr;
        for (TDirNode* sub : folder->SubFolders())
            if (folderPath == sub->Path || folderPath.starts_with(sub->Path + "/"))
                next = sub;
        folder = next;
    }
    if (!folder || !m_workspace.Tree.Select(folder))
        return nullptr;
    syncViews();
    const std::string name = path.substr(cut + 1);
    for (const auto& entry : *folder->Children)
        if (!entry->IsFolder() && entry->Name == name)
            return static_cast<TFileNode*>(entry.get());
    return nullptr;
}

void SitesArea::connectSite()
{
    const int index = m_widgets.setups->currentIndex();
    TSetup* setup = index >= 0 && index < static_cast<int>(m_workspace.Setups.Setups.size())
        ? m_workspace.Setups.Setups[static_cast<size_t>(index)].get()
        : nullptr;
    // A password asked for this connection only goes into its copy of the setup.
    SecureString once;
    if (setup && setup->Kind == skFtp && !m_workspace.Tree.FindConnection(*setup)
        && !passwordForConnection(*setup, once))
        return;
    if (!once.empty())
        setup->Password = once.str();
    m_workspace.Tree.Connect(setup);
    if (!once.empty())
        WipeString(setup->Password);
    syncViews();
}

std::unique_ptr<TSetup> SitesArea::selectedSetupWithPassword()
{
    const int index = m_widgets.setups->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_workspace.Setups.Setups.size()))
        return nullptr;
    TSetup& setup = *m_workspace.Setups.Setups[static_cast<size_t>(index)];
    // An open connection has the password it was opened with.
    if (const TConnection* open = m_workspace.Tree.FindConnection(setup); open && open->Setup)
        return CopySetup(*open->Setup);
    SecureString once;
    if (setup.Kind == skFtp && !passwordForConnection(setup, once))
        return nullptr;
    std::unique_ptr<TSetup> copy = CopySetup(setup);
    if (!once.empty())
        copy->Password = once.str();
    return copy;
}

bool SitesArea::passwordForConnection(TSetup& setup, SecureString& once)
{
    QString reason;
    if (!setup.AskPassword) {
        if (!setup.Password.empty())
            return true;
        const Status read = FillSetupPassword(*m_workspace.Secrets, setup);
        if (read)
            return true;
        reason = ErrorText(read);
    }
    PasswordDialog dialog(FromData(setup.Name), reason, !setup.AskPassword, m_widgets.setups->window());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const std::string typed = ToData(dialog.password());
    if (dialog.savePassword()) {
        setup.Password = typed;
        saveSetupsFile();
    } else {
        once = SecureString(typed);
    }
    return true;
}

void SitesArea::disconnectSite()
{
    const auto save = [this] { saveSetupsFile(); };
    const auto close
        = [this](TConnection& connection) { return m_documents.closeConnectionDocuments(connection); };
    // The file list forgets its rows before the connection's entries go.
    m_workspace.Tree.Disconnect(save, close, listPageActive());
    syncViews();
}

void SitesArea::reconnectSite()
{
    m_workspace.Tree.Reconnect(m_workspace.Tree.ReconnectTarget(m_documents.activeFile()));
    emit commandStateChanged();
}

void SitesArea::refreshFolder()
{
    const auto close
        = [this](const std::string& folderPath) { return m_documents.closeDocumentsBelow(folderPath); };
    m_workspace.Tree.Refresh(close);
    syncViews();
}

void SitesArea::openEntry()
{
    TNode* entry = selectedEntry();
    if (!entry)
        return;
    if (entry->IsFolder()) {
        for (TDirNode* sub : m_workspace.Tree.Selected()->SubFolders()) {
            if (sub->Name == entry->Name) {
                m_workspace.Tree.Select(sub);
                syncViews();
                return;
            }
        }
        return;
    }
    if (CanOpen(*entry))
        emit openFileRequested(static_cast<TFileNode*>(entry));
}

void SitesArea::previewEntry()
{
    TNode* entry = selectedEntry();
    if (entry && CanPreview(*entry))
        emit previewRequested(FromData(PreviewURL(*entry)));
}

void SitesArea::editHosts()
{
    const auto& setups = m_workspace.Setups.Setups;
    const int before = m_widgets.setups->currentIndex();
    const std::string remembered
        = before >= 0 && before < static_cast<int>(setups.size()) ? setups[static_cast<size_t>(before)]->Name : "";
    // The dialog shows the passwords: those kept in the keyring are read first.
    if (const Status read = FillSetupPasswords(*m_workspace.Secrets, setups); !read)
        m_feedback.Message(MessageType::Error, read.error);
    m_hostsDialog->SetSetups(setups);
    m_hostsDialog->SelectSetup(before);
    const bool connectChosen = m_hostsDialog->exec() == QDialog::Accepted;

    // The dialog keeps its edits however it closes.
    std::vector<std::unique_ptr<TSetup>> edited;
    for (const auto& setup : m_hostsDialog->Setups())
        edited.push_back(CopySetup(*setup));
    m_workspace.Setups.Setups = std::move(edited);

    // The connect button selects the dialog's row; the close button keeps the
    // setup selected before, found by name (the first one when it is gone).
    int selected = -1;
    if (connectChosen) {
        selected = m_hostsDialog->SelectedRow();
    } else {
        const auto& now = m_workspace.Setups.Setups;
        const auto kept
            = std::find_if(now.begin(), now.end(), [&](const auto& setup) { return setup->Name == remembered; });
        selected = kept != now.end() ? static_cast<int>(kept - now.begin()) : (now.empty() ? -1 : 0);
    }
    fillSelector(selected);
    saveSetupsFile();
    emit commandStateChanged();
    if (connectChosen && selected >= 0)
        connectSite();
}

} // namespace pw::gui
