#include "gui/banners/fmbanner.h"

namespace pw::gui {

TFmBanner::TFmBanner(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FmBanner"));
    setWindowTitle(QStringLiteral("バナー広告設定"));
    resize(640, 480);
}

} // namespace pw::gui
