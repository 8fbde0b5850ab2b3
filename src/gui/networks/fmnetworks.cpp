#include "gui/networks/fmnetworks.h"

namespace pw::gui {

TFmNetworks::TFmNetworks(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FmNetworks"));
    setWindowTitle(QStringLiteral("ネットワーク名設定"));
    resize(640, 480);
}

} // namespace pw::gui
