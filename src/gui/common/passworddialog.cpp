#include "gui/common/passworddialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pw::gui {

PasswordDialog::PasswordDialog(const QString& what, const QString& reason, bool offerSave, QWidget* parent)
    : QDialog(parent)
    , m_password(new QLineEdit(this))
    , m_save(new QCheckBox(QStringLiteral("パスワードを保存する"), this))
{
    setObjectName(QStringLiteral("FmPassword"));
    setWindowTitle(QStringLiteral("パスワード"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(what + QStringLiteral("のパスワードを入力してください。"), this);
    text->setObjectName(QStringLiteral("LbPasswordFor"));
    layout->addWidget(text);
    if (!reason.isEmpty()) {
        auto* why = new QLabel(reason, this);
        why->setObjectName(QStringLiteral("LbPasswordReason"));
        why->setWordWrap(true);
        layout->addWidget(why);
    }
    m_password->setObjectName(QStringLiteral("EdPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    layout->addWidget(m_password);
    m_save->setObjectName(QStringLiteral("CBSavePassword"));
    m_save->setChecked(offerSave);
    m_save->setVisible(offerSave);
    layout->addWidget(m_save);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("BtOk"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("BtCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_password->setFocus();
}

QString PasswordDialog::password() const
{
    return m_password->text();
}

bool PasswordDialog::savePassword() const
{
    return m_save->isVisible() ? m_save->isChecked() : false;
}

} // namespace pw::gui
