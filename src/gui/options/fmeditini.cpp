#include "gui/options/fmeditini.h"

namespace pw::gui {

TFmEditIni::TFmEditIni(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FmEditIni"));
    setWindowTitle(QString());
    resize(904, 369);
}

} // namespace pw::gui
