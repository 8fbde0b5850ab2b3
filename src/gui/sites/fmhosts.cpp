#include "gui/sites/fmhosts.h"

namespace pw::gui {

TFmHosts::TFmHosts(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FmHosts"));
    setWindowTitle(QStringLiteral("ホスト一覧"));
    resize(560, 400);
}

} // namespace pw::gui
