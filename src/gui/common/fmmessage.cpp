#include "gui/common/fmmessage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pw::gui {

TFmMessage::TFmMessage(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FmMessage"));
    setWindowTitle(QStringLiteral("アフィリエイト登録に関する説明"));
    resize(480, 320);
    const QStringList lines = {
        QStringLiteral("1,登録する前にインターネットを接続してください。"),
        QStringLiteral("2,登録する前に、サイト情報などをあらかじめ入力してください。"),
        QStringLiteral("3,各代理店のホームページで登録リンクをクリックして登録ページに"),
        QStringLiteral("進んでください。"),
        QStringLiteral("4,登録ページが現れたら、項目に自動的にあなたが先に入力した"),
        QStringLiteral("内容が挿入されます。"),
        QStringLiteral("5,各広告代理店のホームページで入力項目をご確認、補足のうえ、"),
        QStringLiteral("登録に進んでください。"),
    };
    auto* layout = new QVBoxLayout(this);
    for (const QString& line : lines)
        layout->addWidget(new QLabel(line, this));
    layout->addStretch();
    m_skip = new QCheckBox(QStringLiteral("次回表示しない"), this);
    m_skip->setObjectName(QStringLiteral("CBShowMsg"));
    auto* go = new QPushButton(QStringLiteral("進む"), this);
    go->setObjectName(QStringLiteral("BtnGo"));
    go->setDefault(true);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_skip);
    bottom->addStretch();
    bottom->addWidget(go);
    layout->addLayout(bottom);
    connect(go, &QPushButton::clicked, this, &QDialog::accept);
}

bool TFmMessage::skipNextTime() const
{
    return m_skip->isChecked();
}

} // namespace pw::gui
