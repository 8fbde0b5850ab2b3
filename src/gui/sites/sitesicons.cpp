#include "gui/sites/sitesicons.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include <array>

namespace pw::gui {

namespace {

QIcon Standard(QStyle::StandardPixmap pixmap)
{
    return QApplication::style()->standardIcon(pixmap);
}

// A folder image with a small network drive in its lower right corner: the
// same folder on a remote host.
QIcon WithNetworkMark(const QIcon& folder)
{
    constexpr int kSize = 16;
    QPixmap image(kSize, kSize);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.drawPixmap(0, 0, folder.pixmap(kSize, kSize));
    painter.drawPixmap(kSize / 2, kSize / 2, Standard(QStyle::SP_DriveNetIcon).pixmap(kSize / 2, kSize / 2));
    painter.end();
    return QIcon(image);
}

} // namespace

QIcon ServerTypeIcon(int index)
{
    // Made once: the style's icons need a running application.
    static const std::array<QIcon, 6> icons {
        Standard(QStyle::SP_DirHomeIcon),
        Standard(QStyle::SP_DriveNetIcon),
        Standard(QStyle::SP_DirOpenIcon),
        WithNetworkMark(Standard(QStyle::SP_DirOpenIcon)),
        Standard(QStyle::SP_DirClosedIcon),
        WithNetworkMark(Standard(QStyle::SP_DirClosedIcon)),
    };
    return index >= 0 && index < static_cast<int>(icons.size()) ? icons[static_cast<size_t>(index)] : QIcon();
}

QIcon FileTypeIcon(int kind)
{
    static const std::array<QIcon, 5> icons {
        Standard(QStyle::SP_DirIcon),
        Standard(QStyle::SP_FileDialogDetailedView),
        Standard(QStyle::SP_FileIcon),
        Standard(QStyle::SP_DriveFDIcon),
        Standard(QStyle::SP_FileDialogContentsView),
    };
    return kind >= 0 && kind < static_cast<int>(icons.size()) ? icons[static_cast<size_t>(kind)] : QIcon();
}

} // namespace pw::gui
