#include "gui/options/fmeditini.h"

#include "gui/common/datatext.h"
#include "gui/common/messagebox.h"
#include "settings/inilist.h"
#include "settings/settingsfile.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace pw::gui {

namespace {

const std::string_view kFiles[3] = { kBannerFile, kMainSettingsFile, kProfileFile };

} // namespace

TFmEditIni::TFmEditIni(
    TIniList& adStore, TIniList& mainStore, TIniList& profileStore, std::string folder, QWidget* parent)
    : QDialog(parent)
    , m_stores { &adStore, &mainStore, &profileStore }
    , m_folder(std::move(folder))
{
    setObjectName(QStringLiteral("FmEditIni"));
    resize(904, 369);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    const char* names[3] = { "Memo1", "Memo2", "Memo3" };
    for (int i = 0; i < 3; ++i) {
        m_memos[i] = new QPlainTextEdit(splitter);
        m_memos[i]->setObjectName(QLatin1String(names[i]));
        m_memos[i]->setAccessibleName(
            QString::fromLatin1(kFiles[i].data(), static_cast<qsizetype>(kFiles[i].size())));
        m_memos[i]->setLineWrapMode(QPlainTextEdit::NoWrap);
        m_memos[i]->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_memos[i]->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    splitter->setSizes({ 297, 904 - 297 - 296, 296 });
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(ok);
    bottom->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);
    connect(ok, &QPushButton::clicked, this, &TFmEditIni::confirm);
}

void TFmEditIni::refill()
{
    for (int i = 0; i < 3; ++i) {
        QStringList lines;
        for (const std::string& line : m_stores[i]->Lines())
            lines << FromData(line);
        m_memos[i]->setPlainText(lines.join(QLatin1Char('\n')));
    }
}

void TFmEditIni::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refill();
}

void TFmEditIni::confirm()
{
    accept();
    for (int i = 0; i < 3; ++i) {
        std::vector<std::string> lines;
        for (const QString& line : m_memos[i]->toPlainText().split(QLatin1Char('\n')))
            lines.push_back(ToData(line));
        m_stores[i]->SetLines(lines);
        const Status saved = SaveSettingsFile(*m_stores[i], m_folder, kFiles[i]);
        if (!saved) {
            // The files after this one keep their lines.
            ShowMessage(parentWidget(), MessageType::Error, ErrorText(saved));
            return;
        }
    }
}

} // namespace pw::gui
