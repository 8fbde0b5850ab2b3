#include "gui/common/fmmessage.h"

namespace pw::gui {

TFmMessage::TFmMessage(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FmMessage"));
    setWindowTitle(QStringLiteral("アフィリエイト登録に関する説明"));
    resize(480, 320);
}

} // namespace pw::gui
