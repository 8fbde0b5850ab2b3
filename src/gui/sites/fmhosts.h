#pragma once

#include <QDialog>

namespace pw::gui {

// The host list dialog. Created once at start-up and kept for the whole run.
class TFmHosts : public QDialog {
    Q_OBJECT
public:
    explicit TFmHosts(QWidget* parent = nullptr);
};

} // namespace pw::gui
