#include "gui/options/fmoption.h"

namespace pw::gui {

TFmOption::TFmOption(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FmOption"));
    setWindowTitle(QStringLiteral("オプション設定"));
    resize(231, 176);
}

} // namespace pw::gui
