#include "gui/documents/documentsarea.h"

#include "gui/common/actionlist.h"
#include "gui/common/datatext.h"
#include "gui/common/framewidgets.h"
#include "gui/common/messagebox.h"
#include "gui/common/popupmenu.h"
#include "gui/documents/documenttab.h"
#include "gui/documents/findbar.h"
#include "gui/documents/scintillapageeditor.h"
#include "gui/workspace.h"
#include "pageads/adcommands.h"
#include "pageads/scanner.h"
#include "sites/documents.h"
#include "sites/sitetexts.h"
#include "text/lines.h"
#include "text/pagefile.h"

#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeView>
#include <malloc.h>

namespace pw::gui {

namespace {

// The window's part of an open document, owned by its file entry.
class TabSheet final : public DocumentSheet {
public:
    explicit TabSheet(DocumentTab* tab)
        : m_tab(tab)
    {
    }
    ~TabSheet() override { delete m_tab.data(); }

    void EntryDestroyedWhileOpen() override
    {
        ShowMessage(m_tab ? m_tab->window() : nullptr, MessageType::Error, FromData(kInternalError));
    }

private:
    QPointer<DocumentTab> m_tab;
};

void AttachMenu(QWidget* widget, QMenu* menu)
{
    if (!menu)
        return;
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(widget, &QWidget::customContextMenuRequested, menu,
        [widget, menu](const QPoint& at) { PopupAtPointer(menu, widget->mapToGlobal(at)); });
}

} // namespace

namespace {

DocumentsArea::Widgets BuildWidgets(ActionList& actions, QTabWidget* pages, QWidget* window)
{
    DocumentsArea::Widgets w {};
    w.pages = pages;
    auto item = [&actions](QMenu* m, const char* name, Command action) {
        return AddLinkedItem(m, name, actions.action(action));
    };
    w.adTreeMenu = MakePopupMenu("PMAds", window);
    item(w.adTreeMenu, "MIDeleteAd", Command::DeleteAd);
    w.adTreeMenu->addSeparator();
    item(w.adTreeMenu, "MIRefreshAd", Command::RefreshAd);

    w.editorMenu = MakePopupMenu("PMOpeningFile", window);
    item(w.editorMenu, "MIPreview2", Command::FilePreview);
    w.editorMenu->addSeparator();
    item(w.editorMenu, "MISave", Command::FileSave);
    item(w.editorMenu, "MIClose", Command::FileCloseAct);
    w.editorMenu->addSeparator();
    AddAddAdSubmenu(w.editorMenu, Command::MIAddAd1, "MIAddNormal2", "MIAddRotation2",
        actions.action(Command::AddNormal), actions.action(Command::AddRotation));
    item(w.editorMenu, "MIReplaceAd1", Command::ReplaceAd);

    w.encodingLabel = new QLabel;
    w.encodingLabel->setObjectName(QStringLiteral("PageEncodingLabel"));
    // No fixed name: a screen reader hears the encoding shown.
    w.encodingLabel->setAccessibleDescription(QStringLiteral("ページの文字コード"));
    return w;
}

} // namespace

DocumentsArea::DocumentsArea(
    Workspace& workspace, SiteFeedback& feedback, ActionList& actions, QTabWidget* pages, QWidget* window)
    : QObject(window)
    , m_workspace(workspace)
    , m_feedback(feedback)
    , m_widgets(BuildWidgets(actions, pages, window))
{
    connect(actions.action(Command::FileSave), &QAction::triggered, this, &DocumentsArea::save);
    QAction* closeAction = actions.action(Command::FileCloseAct);
    closeAction->setShortcuts({ QKeySequence(Qt::CTRL | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_W) });
    connect(closeAction, &QAction::triggered, this, &DocumentsArea::close);
    connect(actions.action(Command::FilePreview), &QAction::triggered, this, [this] {
        if (activeTab())
            preview();
    });

    // Find in the page: not one of the listed commands, but every editor has it.
    auto* findAction = m_findAction = new QAction(QStringLiteral("検索(&F)..."), this);
    findAction->setObjectName(QStringLiteral("EditFind"));
    findAction->setShortcut(QKeySequence::Find);
    findAction->setShortcutContext(Qt::WindowShortcut);
    ApplyHint(findAction, QStringLiteral("ページの中を検索する"));
    m_widgets.pages->window()->addAction(findAction);
    connect(findAction, &QAction::triggered, this, &DocumentsArea::find);

    m_encodingMenu = new QMenu(QStringLiteral("文字コードを指定して開き直す(&R)"), m_widgets.pages->window());
    m_encodingMenu->setObjectName(QStringLiteral("PMEncoding"));
    for (PageEncoding encoding : { PageEncoding::ShiftJis, PageEncoding::Utf8, PageEncoding::EucJp }) {
        const QString name = QString::fromLatin1(PageEncodingName(encoding));
        QAction* item = m_encodingMenu->addAction(name);
        item->setObjectName(QStringLiteral("MIEncoding_") + name);
        connect(item, &QAction::triggered, this, [this, encoding] { reopenWithEncoding(encoding); });
    }
    connect(m_encodingMenu, &QMenu::aboutToShow, this, [this] {
        DocumentTab* tab = activeTab();
        for (QAction* item : m_encodingMenu->actions()) {
            item->setEnabled(tab != nullptr);
            item->setCheckable(true);
            item->setChecked(
                tab && item->text() == QString::fromLatin1(PageEncodingName(tab->editor()->Encoding())));
        }
    });

    connect(m_widgets.pages, &QTabWidget::currentChanged, this, [this] {
        DocumentTab* tab = activeTab();
        emit pageTitleChanged(tab ? pageTitle(*tab) : QString());
        // The keyboard goes with the chosen page.
        if (tab)
            tab->editor()->setFocus(Qt::TabFocusReason);
        m_jumpCounter = 1;
        m_feedback.Status({}); // it spoke of the page left
        showEncoding();
        emit commandStateChanged();
    });
    // A click on the tab of the page already shown changes no page, but the
    // user asks for its editor all the same (the keys may be in the banner
    // list or the tree).
    connect(m_widgets.pages, &QTabWidget::tabBarClicked, this, [this](int index) {
        if (index != m_widgets.pages->currentIndex())
            return; // the page change gives the keyboard
        if (DocumentTab* tab = activeTab())
            tab->editor()->setFocus(Qt::MouseFocusReason);
    });
}

DocumentsArea::~DocumentsArea() = default;

DocumentTab* DocumentsArea::activeTab() const
{
    return qobject_cast<DocumentTab*>(m_widgets.pages->currentWidget());
}

TFileNode* DocumentsArea::activeFile() const
{
    DocumentTab* tab = activeTab();
    return tab ? &tab->file() : nullptr;
}

DocumentTab* DocumentsArea::tabOf(const TFileNode& file) const
{
    for (int i = 1; i < m_widgets.pages->count(); ++i) {
        auto* tab = qobject_cast<DocumentTab*>(m_widgets.pages->widget(i));
        if (tab && &tab->file() == &file)
            return tab;
    }
    return nullptr;
}

std::vector<std::string> DocumentsArea::openPagePaths(const std::string& setupName) const
{
    std::vector<std::string> paths;
    for (int i = 1; i < m_widgets.pages->count(); ++i) {
        auto* tab = qobject_cast<DocumentTab*>(m_widgets.pages->widget(i));
        const TConnection* connection = tab ? ConnectionOf(tab->file()) : nullptr;
        if (connection && connection->Setup && connection->Setup->Name == setupName)
            paths.push_back(tab->file().GetPath());
    }
    return paths;
}

void DocumentsArea::showLine(TFileNode& file, size_t line)
{
    DocumentTab* tab = tabOf(file);
    if (!tab || line == 0)
        return;
    ScintillaPageEditor* editor = tab->editor();
    const int at = std::min(static_cast<int>(line), editor->lines()) - 1;
    // The whole line with its break; the last line to its end.
    if (at + 1 < editor->lines())
        editor->setSelection(at, 0, at + 1, 0);
    else
        editor->setSelection(at, 0, at, editor->lineLength(at));
    editor->ensureLineVisible(at);
    editor->setFocus();
    // The ad tree shows the block that starts there.
    if (AdNode* node = FindAdNodeAtLine(tab->page(), line)) {
        tab->adTree().Select(node);
        tab->showTreeSelection();
    }
}

bool DocumentsArea::openDocument(TFileNode& file)
{
    if (DocumentTab* open = tabOf(file)) {
        m_widgets.pages->setCurrentWidget(open);
        return true;
    }
    if (!CanOpen(file))
        return false;

    // The page's encoding: the one the user chose for it, the site's, or the
    // one its bytes show.
    std::optional<PageEncoding> forced;
    if (auto chosen = m_chosenEncodings.find(&file); chosen != m_chosenEncodings.end()) {
        forced = chosen->second;
    } else {
        const TConnection* connection = ConnectionOf(file);
        forced = ForcedEncoding(connection && connection->Setup ? connection->Setup->Charset : PageCharset::Auto);
    }
    std::optional<PageFile> page = LoadPage(file, forced, m_workspace.Buffer, m_feedback);
    if (!page) {
        emit commandStateChanged();
        return false;
    }
    auto* tab = new DocumentTab(file);
    tab->setByteOrderMark(page->ByteOrderMark);
    tab->editor()->LoadBuffer(page->Lines, page->Break, page->Encoding);
    AttachMenu(tab->editor(), m_widgets.editorMenu);
    AttachMenu(tab->adTreeView(), m_widgets.adTreeMenu);
    file.Sheet = std::make_unique<TabSheet>(tab);
    m_widgets.pages->addTab(tab, FromData(file.Name));
    showTabState(*tab);
    connect(tab->editor(), &QsciScintilla::modificationChanged, this, [this, tab] { showTabState(*tab); });
    // Every tab keeps the ad tree as wide as the user last made one.
    tab->setAdTreeWidth(m_adTreeWidth);
    connect(tab, &DocumentTab::adTreeWidthChanged, this, &DocumentsArea::setAdTreeWidth);

    {
        // The scan reads every line once: from the lines just loaded, which
        // the editor would otherwise encode back one by one and keep.
        LoadedPageEditor loaded(tab->editor()->Page(), page->Lines);
        AdPage adPage { loaded, tab->adTree(), tab->editor()->Encoding() };
        ScanAdBlocks(adPage, m_workspace.Banners);
    }
    page.reset();
    connect(tab, &DocumentTab::adNodeChosen, this, [this, tab](AdNode* node) { showAdNode(*tab, node); });
    // The tree follows the text back and forth, without repairing markers,
    // which would cut off the redo history.
    connect(tab->editor(), &ScintillaPageEditor::UndoneOrRedone, this,
        [this, tab] { rescan(*tab, MarkerRepairs::Leave); });
    emit tabOpened(tab);

    m_widgets.pages->setCurrentWidget(tab);
    if (AdNode* first = tab->adTree().First()) {
        showAdNode(*tab, first);
        tab->showTreeSelection();
    }
    tab->editor()->setFocus();
    emit commandStateChanged();
    malloc_trim(0);
    return true;
}

bool DocumentsArea::saveDocument(TFileNode& file)
{
    DocumentTab* tab = tabOf(file);
    if (!tab || !tab->editor()->PageModified())
        return true;
    DocumentText text;
    text.Lines = tab->pageLines();
    text.Modified = true;
    text.Break = tab->editor()->PageLineBreak();
    const bool saved = SaveDocument(file, text, m_workspace.Buffer, m_feedback);
    if (saved)
        tab->editor()->SetPageModified(false);
    emit commandStateChanged();
    return saved;
}

bool DocumentsArea::settleUnsaved(TFileNode& file, bool previewAfterwards)
{
    DocumentTab* tab = tabOf(file);
    if (!tab || !tab->editor()->PageModified())
        return true;
    const auto answer = ShowMessage(m_widgets.pages->window(), MessageType::Confirmation,
        FromData(sitetext::AskSave(file.Name)), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Yes) {
        const bool saved = saveDocument(file);
        // A preview follows whether or not the save worked; a close does not.
        return saved || previewAfterwards;
    }
    return true;
}

void DocumentsArea::removeTab(TFileNode& file)
{
    m_chosenEncodings.erase(&file);
    if (DocumentTab* tab = tabOf(file))
        m_widgets.pages->removeTab(m_widgets.pages->indexOf(tab));
    file.Sheet.reset();
}

bool DocumentsArea::closeDocument(TFileNode& file)
{
    if (!tabOf(file))
        return true;
    if (!settleUnsaved(file, false))
        return false;
    removeTab(file);
    emit commandStateChanged();
    return true;
}

bool DocumentsArea::closeAll()
{
    for (int i = m_widgets.pages->count() - 1; i >= 1; --i) {
        auto* tab = qobject_cast<DocumentTab*>(m_widgets.pages->widget(i));
        if (!tab)
            continue;
        m_widgets.pages->setCurrentIndex(i);
        if (!closeDocument(tab->file()))
            return false;
    }
    return true;
}

void DocumentsArea::discardAll()
{
    for (int i = m_widgets.pages->count() - 1; i >= 1; --i)
        if (auto* tab = qobject_cast<DocumentTab*>(m_widgets.pages->widget(i)))
            removeTab(tab->file());
}

bool DocumentsArea::closeConnectionDocuments(TConnection& connection)
{
    for (int i = m_widgets.pages->count() - 1; i >= 1; --i) {
        auto* tab = qobject_cast<DocumentTab*>(m_widgets.pages->widget(i));
        if (tab && ConnectionOf(tab->file()) == &connection && !closeDocument(tab->file()))
            return false;
    }
    return true;
}

bool DocumentsArea::closeDocumentsBelow(const std::string& folderPath)
{
    for (int i = m_widgets.pages->count() - 1; i >= 1; --i) {
        auto* tab = qobject_cast<DocumentTab*>(m_widgets.pages->widget(i));
        if (tab && tab->file().GetPath().starts_with(folderPath) && !closeDocument(tab->file()))
            return false;
    }
    return true;
}

void DocumentsArea::save()
{
    if (TFileNode* file = activeFile())
        saveDocument(*file);
}

void DocumentsArea::close()
{
    if (TFileNode* file = activeFile())
        closeDocument(*file);
}

void DocumentsArea::preview()
{
    TFileNode* file = activeFile();
    if (!file)
        return;
    const bool goOn = settleUnsaved(*file, true);
    emit commandStateChanged();
    if (goOn)
        emit previewRequested(FromData(PreviewURL(*file)));
}

void DocumentsArea::showAdNode(DocumentTab& tab, AdNode* node)
{
    tab.adTree().Select(node);
    AdPage page = tab.page();
    report(ShowAdNode(page, m_workspace.Banners, node, true, m_jumpCounter));
    tab.showTreeSelection();
    emit commandStateChanged();
}

void DocumentsArea::report(const AdCommandResult& result)
{
    for (const UserMessage& message : result.Messages)
        m_feedback.Message(message.Kind, message.Text);
    if (result.StatusText)
        m_feedback.Status(*result.StatusText);
    else
        m_feedback.Status({}); // the result of an earlier state goes
    if (result.SelectBannerRow >= 0)
        emit bannerRowRequested(result.SelectBannerRow);
}

std::vector<RecoveryCopy> DocumentsArea::recoveryCopies() const
{
    std::vector<RecoveryCopy> copies;
    for (int i = 1; i < m_widgets.pages->count(); ++i) {
        auto* tab = qobject_cast<DocumentTab*>(m_widgets.pages->widget(i));
        if (!tab || !tab->editor()->PageModified())
            continue;
        const TConnection* connection = ConnectionOf(tab->file());
        RecoveryCopy copy;
        copy.SetupName = connection && connection->Setup ? connection->Setup->Name : std::string();
        copy.Path = tab->file().GetPath();
        copy.Bytes = tab->pageLines().Join(tab->editor()->PageLineBreak());
        copies.push_back(std::move(copy));
    }
    return copies;
}

void DocumentsArea::restoreText(TFileNode& file, const std::string& bytes)
{
    DocumentTab* tab = tabOf(file);
    if (!tab)
        return;
    // The copy was written with the tab's line break, in the tab's encoding.
    const PageFile copy = PageFile::FromBytes(bytes, tab->editor()->Encoding());
    tab->setByteOrderMark(copy.ByteOrderMark);
    tab->editor()->LoadBuffer(copy.Lines, tab->editor()->PageLineBreak(), copy.Encoding);
    tab->editor()->SetPageModified(true);
    // The tree of the text the tab was opened with goes.
    rescan(*tab, MarkerRepairs::Write);
}

void DocumentsArea::setAdTreeWidth(int width)
{
    m_adTreeWidth = width;
    for (int i = 1; i < m_widgets.pages->count(); ++i)
        if (auto* tab = qobject_cast<DocumentTab*>(m_widgets.pages->widget(i)); tab && tab->adTreeWidth() != width)
            tab->setAdTreeWidth(width);
}

QString DocumentsArea::pageTitle(const DocumentTab& tab) const
{
    const TConnection* connection = ConnectionOf(tab.file());
    QString title = FromData(tab.file().Name);
    if (connection && connection->Setup)
        title += QStringLiteral(" - ") + FromData(connection->Setup->Name);
    return title;
}

void DocumentsArea::showTabState(DocumentTab& tab)
{
    // Two pages of one name on two sites differ by their tooltips and, when
    // active, by the window's title.
    const int index = m_widgets.pages->indexOf(&tab);
    const TConnection* connection = ConnectionOf(tab.file());
    const QString path = FromData(tab.file().GetPath());
    const QString name = FromData(tab.file().Name);
    m_widgets.pages->setTabText(index, tab.editor()->PageModified() ? QStringLiteral("*") + name : name);
    m_widgets.pages->setTabToolTip(index,
        connection && connection->Setup ? FromData(connection->Setup->Name) + QStringLiteral(": ") + path : path);
    if (&tab == activeTab())
        emit pageTitleChanged(pageTitle(tab));
}

void DocumentsArea::rescan(DocumentTab& tab, MarkerRepairs repairs)
{
    AdPage page = tab.page();
    page.Tree.Clear();
    ScanAdBlocks(page, m_workspace.Banners, repairs);
    emit commandStateChanged();
}

void DocumentsArea::showEncoding()
{
    DocumentTab* tab = activeTab();
    if (!tab) {
        m_widgets.encodingLabel->clear();
        return;
    }
    QString name = QString::fromLatin1(PageEncodingName(tab->editor()->Encoding()));
    if (tab->byteOrderMark())
        name += QStringLiteral(" (BOM)");
    m_widgets.encodingLabel->setText(name);
}

void DocumentsArea::reopenWithEncoding(PageEncoding encoding)
{
    TFileNode* file = activeFile();
    if (!file || activeTab()->editor()->Encoding() == encoding)
        return;
    const int index = m_widgets.pages->currentIndex();
    if (!closeDocument(*file))
        return;
    m_chosenEncodings[file] = encoding;
    if (openDocument(*file))
        m_widgets.pages->tabBar()->moveTab(m_widgets.pages->currentIndex(), index);
}

void DocumentsArea::find()
{
    if (DocumentTab* tab = activeTab())
        tab->findBar()->open();
}

void DocumentsArea::refreshAdNodes(const std::optional<std::string>& oldName, const TAdBanner* banner)
{
    if (DocumentTab* tab = activeTab()) {
        AdPage page = tab->page();
        RefreshAdNodes(page, oldName, banner);
    }
}

} // namespace pw::gui
