#pragma once

#include <QDialog>

namespace pw::gui {

// The options dialog. Created once at start-up and kept for the whole run.
class TFmOption : public QDialog {
    Q_OBJECT
public:
    explicit TFmOption(QWidget* parent = nullptr);
};

} // namespace pw::gui
