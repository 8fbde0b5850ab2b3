#pragma once

#include <QDialog>

namespace pw::gui {

// The explanation shown before the signup window. Created once at start-up and kept for the whole run.
class TFmMessage : public QDialog {
    Q_OBJECT
public:
    explicit TFmMessage(QWidget* parent = nullptr);
};

} // namespace pw::gui
