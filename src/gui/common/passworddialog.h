#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace pw::gui {

// Asks for a password the program cannot read (the keyring did not answer or
// stayed locked) or is not to keep (a setup that asks each time). The box
// "パスワードを保存する" is ticked by default where keeping is offered.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    // `what` names the site or login, `reason` says why the question comes.
    PasswordDialog(const QString& what, const QString& reason, bool offerSave, QWidget* parent = nullptr);

    QString password() const;
    // Whether the password is to be kept where passwords are kept.
    bool savePassword() const;

private:
    QLineEdit* m_password;
    QCheckBox* m_save;
};

} // namespace pw::gui
