#pragma once

#include <QDialog>

namespace pw::gui {

// The settings text editor. Created once at start-up and kept for the whole run.
class TFmEditIni : public QDialog {
    Q_OBJECT
public:
    explicit TFmEditIni(QWidget* parent = nullptr);
};

} // namespace pw::gui
