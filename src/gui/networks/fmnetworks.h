#pragma once

#include <QDialog>

namespace pw::gui {

// The networks and registration profiles dialog. Created once at start-up and kept for the whole run.
class TFmNetworks : public QDialog {
    Q_OBJECT
public:
    explicit TFmNetworks(QWidget* parent = nullptr);
};

} // namespace pw::gui
