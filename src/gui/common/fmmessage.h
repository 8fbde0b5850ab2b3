#pragma once

#include <QDialog>

class QCheckBox;

namespace pw::gui {

// The explanation shown before the signup window, with a box that skips it for
// the rest of the run. Created once at start-up and kept for the whole run.
class TFmMessage : public QDialog {
    Q_OBJECT
public:
    explicit TFmMessage(QWidget* parent = nullptr);

    // True once the user ticked "do not show next time".
    bool skipNextTime() const;

private:
    QCheckBox* m_skip = nullptr;
};

} // namespace pw::gui
