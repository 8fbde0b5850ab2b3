#include "gui/common/actionlist.h"

#include <QApplication>
#include <QRegularExpression>
#include <QShortcutEvent>
#include <QStyle>
#include <QWidget>

namespace pw::gui {

void ApplyHint(QAction* action, const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

QString PlainCaption(QString caption)
{
    static const QRegularExpression mnemonic(QStringLiteral("\\(&.\\)"));
    caption.remove(mnemonic);
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return caption.trimmed();
}

ActionList::ActionList(QObject* parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("ActionList1"));
    const QKeySequence none;
    add(Command::RefreshDir, "Directory", QStringLiteral("最新の情報に更新(&R)"),
        QKeySequence(Qt::CTRL | Qt::Key_R), QStringLiteral("ディレクトリを更新する"));
    add(Command::DeleteAd, "AdFlight", QStringLiteral("ファイルから削除(&D)"), none,
        QStringLiteral("広告文をファイルから削除する"));
    add(Command::RefreshAd, "AdFlight", QStringLiteral("広告一覧を更新(&R)"), QKeySequence(Qt::Key_F5),
        QStringLiteral("ファイルの広告一覧を更新する"));
    add(Command::FileOpen, "FileList", QStringLiteral("オープン(&O)"), QKeySequence(Qt::CTRL | Qt::Key_O),
        QStringLiteral("ファイル・ディレクトリをオープンする"));
    add(Command::FilePreview, "FileList", QStringLiteral("プレビュー(&P)"), QKeySequence(Qt::CTRL | Qt::Key_P),
        QStringLiteral("ファイルをプレビューする"));
    add(Command::FileSave, "OpeningFile", QStringLiteral("保存(&S)"), QKeySequence(Qt::CTRL | Qt::Key_S),
        QStringLiteral("ファイルを保存する"));
    add(Command::FileCloseAct, "OpeningFile", QStringLiteral("クローズ(&C)"), QKeySequence(Qt::CTRL | Qt::Key_F4),
        QStringLiteral("ファイルをクローズする"));
    add(Command::AddNormal, "AdList", QStringLiteral("ノーマル(&N)"), QKeySequence(Qt::CTRL | Qt::Key_N),
        QStringLiteral("広告リストの現在の広告文をファイルにノーマルバナーを追加する"));
    add(Command::AddRotation, "AdList", QStringLiteral("ローテーション(&R)"), QKeySequence(Qt::CTRL | Qt::Key_R),
        QStringLiteral("広告リストの現在の広告文をファイルにローテーションバナーを追加する"));
    add(Command::ReplaceAd, "AdList", QStringLiteral("ファイルの広告文を変更する(&U)"),
        QKeySequence(Qt::CTRL | Qt::Key_U), QStringLiteral("広告文を広告リスト現在の広告文に変更する"));
    add(Command::Jump, "AdList", QStringLiteral("現在の広告をサーチする(&F)"), QKeySequence(Qt::Key_F3),
        QStringLiteral("ファイルに現在の広告文をサーチする"));
    add(Command::NewBanner, "AdList", QStringLiteral("広告を新規する(&N)"),
        QKeySequence(Qt::CTRL | Qt::Key_Insert), QStringLiteral("広告リストに広告を新規する"));
    add(Command::EditBanner, "AdList", QStringLiteral("広告を編集する(&E)"), QKeySequence(Qt::CTRL | Qt::Key_E),
        QStringLiteral("広告リストに現在の広告を編集する"));
    add(Command::DeleteBanner, "AdList", QStringLiteral("広告を削除する(&D)"),
        QKeySequence(Qt::CTRL | Qt::Key_Delete), QStringLiteral("広告リストに現在の広告を削除する"));
    add(Command::ArchiveBanner, "AdList", QStringLiteral("広告を保管する(&S)"), none,
        QStringLiteral("広告リストに現在の広告を保管する"));
    add(Command::EditCut, "Edit", QStringLiteral("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X),
        QStringLiteral("Cut|Cuts the selection and puts it on the Clipboard"));
    add(Command::EditCopy, "Edit", QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C),
        QStringLiteral("Copy|Copies the selection and puts it on the Clipboard"));
    add(Command::EditPaste, "Edit", QStringLiteral("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V),
        QStringLiteral("Paste|Inserts Clipboard contents"));

    // The Edit actions work on the focused text field.
    auto forward = [](const char* member) {
        return [member] {
            if (QWidget* focus = QApplication::focusWidget())
                QMetaObject::invokeMethod(focus, member);
        };
    };
    connect(action(Command::EditCut), &QAction::triggered, this, forward("cut"));
    connect(action(Command::EditCopy), &QAction::triggered, this, forward("copy"));
    connect(action(Command::EditPaste), &QAction::triggered, this, forward("paste"));
}

QAction* ActionList::add(Command command, const char* category, const QString& caption,
    const QKeySequence& shortcut, const QString& hint)
{
    auto* a = new QAction(caption, this);
    a->setObjectName(CommandObjectName(command));
    m_byCommand[CommandIndex(command)] = a;
    a->setProperty("category", QLatin1String(category));
    a->setShortcut(shortcut);
    ApplyHint(a, hint);
    a->installEventFilter(this);
    m_actions.append(a);
    return a;
}

QAction* ActionList::actionNamed(const QString& name) const
{
    for (QAction* a : m_actions) {
        if (a->objectName() == name)
            return a;
    }
    return nullptr;
}

bool ActionList::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Shortcut) {
        auto* shortcutEvent = static_cast<QShortcutEvent*>(event);
        if (shortcutEvent->isAmbiguous()) {
            for (QAction* a : m_actions) {
                if (a->isEnabled() && a->shortcut() == shortcutEvent->key()) {
                    a->trigger();
                    return true;
                }
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

QAction* ActionList::linkedItem(QAction* source, const QString& objectName, QObject* parent)
{
    auto* item = new QAction(parent);
    item->setObjectName(objectName);
    auto sync = [item, source] {
        item->setText(source->text());
        item->setIcon(source->icon());
        item->setToolTip(source->toolTip());
        item->setStatusTip(source->statusTip());
        item->setEnabled(source->isEnabled());
        item->setVisible(source->isVisible());
        item->setShortcut(source->shortcut());
    };
    // The item shows the key; only the source action listens for it.
    item->setShortcutContext(Qt::WidgetShortcut);
    item->setShortcutVisibleInContextMenu(true);
    sync();
    QObject::connect(source, &QAction::changed, item, sync);
    QObject::connect(item, &QAction::triggered, source, [source] { source->trigger(); });
    return item;
}

} // namespace pw::gui
