#include "gui/common/framewidgets.h"

#include "gui/common/actionlist.h"

#include <QAction>
#include <QFrame>
#include <QHeaderView>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace pw::gui {

namespace {

// Rows of ReportRowHeight, whatever the style would make them.
class ReportRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), ReportRowHeight(option.fontMetrics)));
        return size;
    }
};

} // namespace

int ReportRowHeight(const QFontMetrics& metrics)
{
    constexpr int kAir = 2;
    // The lowest and highest glyphs of the names the lists show.
    const QRect ink = metrics.tightBoundingRect(QStringLiteral("_gjpqy|()表示"));
    const int below = std::max(0, ink.bottom() + 1 - metrics.descent());
    const int above = std::max(0, -ink.top() - metrics.ascent());
    // The line stands in the middle of the row.
    return metrics.height() + 2 * (std::max(below, above) + kAir);
}

QToolButton* MakeCommandButton(Command command, const QString& hint)
{
    auto* button = new QToolButton;
    button->setObjectName(CommandObjectName(command));
    button->setToolTip(hint);
    button->setStatusTip(hint);
    button->setAccessibleName(hint);
    button->setAutoRaise(true);
    button->setFixedWidth(24);
    return button;
}

QTreeView* MakeReportList(const QString& name)
{
    auto* view = new QTreeView;
    view->setObjectName(name);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->header()->setSectionsMovable(false);
    view->header()->setSectionsClickable(true);
    view->header()->setStretchLastSection(false);
    view->header()->setDefaultSectionSize(50);
    view->setItemDelegate(new ReportRowDelegate(view));
    return view;
}

QWidget* MakePanel(const QString& name, QWidget* content)
{
    auto* panel = new QFrame;
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(content);
    return panel;
}

QAction* MakeOptionItem(
    Command command, const QString& caption, const QString& hint, bool checkable, QObject* parent)
{
    auto* item = new QAction(caption, parent);
    item->setObjectName(CommandObjectName(command));
    ApplyHint(item, hint);
    item->setCheckable(checkable);
    item->setChecked(checkable);
    return item;
}

QMenu* MakePopupMenu(const char* name, QWidget* window)
{
    auto* menu = new QMenu(window);
    menu->setObjectName(QLatin1String(name));
    menu->setToolTipsVisible(true);
    return menu;
}

QAction* AddLinkedItem(QMenu* menu, const char* name, QAction* source)
{
    QAction* linked = ActionList::linkedItem(source, QLatin1String(name), menu);
    menu->addAction(linked);
    return linked;
}

void AddAddAdSubmenu(QMenu* menu, Command command, const char* normal, const char* rotation, QAction* addNormal,
    QAction* addRotation)
{
    QMenu* sub = menu->addMenu(QStringLiteral("現在の広告をファイルに追加する"));
    sub->menuAction()->setObjectName(CommandObjectName(command));
    AddLinkedItem(sub, normal, addNormal);
    AddLinkedItem(sub, rotation, addRotation);
}

} // namespace pw::gui
