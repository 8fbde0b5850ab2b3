#pragma once

#include <QDialog>

namespace pw::gui {

// The banner editor. Created once at start-up and kept for the whole run.
class TFmBanner : public QDialog {
    Q_OBJECT
public:
    explicit TFmBanner(QWidget* parent = nullptr);
};

} // namespace pw::gui
