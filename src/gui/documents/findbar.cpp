#include "gui/documents/findbar.h"

#include <Qsci/qsciscintilla.h>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

namespace pw::gui {

FindBar::FindBar(QsciScintilla* editor, QWidget* parent)
    : QWidget(parent)
    , m_editor(editor)
{
    setObjectName(QStringLiteral("FindBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);

    auto* caption = new QLabel(QStringLiteral("検索:"), this);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("FindText"));
    m_text->setAccessibleName(QStringLiteral("検索する文字列"));
    m_text->setPlaceholderText(QStringLiteral("Enter: 次へ　Shift+Enter: 前へ"));
    m_text->setClearButtonEnabled(true);
    m_text->installEventFilter(this);
    caption->setBuddy(m_text);

    auto button = [this](const char* name, QStyle::StandardPixmap icon, const QString& hint) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(hint);
        b->setAccessibleName(hint);
        b->setAutoRaise(true);
        return b;
    };
    QToolButton* previous = button("FindPrevious", QStyle::SP_ArrowUp, QStringLiteral("前を検索 (Shift+Enter)"));
    QToolButton* next = button("FindNext", QStyle::SP_ArrowDown, QStringLiteral("次を検索 (Enter)"));
    m_case = new QCheckBox(QStringLiteral("大文字と小文字を区別"), this);
    m_case->setObjectName(QStringLiteral("FindMatchCase"));
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("FindResult"));
    QToolButton* closer
        = button("FindClose", QStyle::SP_TitleBarCloseButton, QStringLiteral("検索バーを閉じる (Esc)"));

    layout->addWidget(caption);
    layout->addWidget(m_text, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(m_case);
    layout->addWidget(m_result);
    layout->addWidget(closer);

    connect(previous, &QToolButton::clicked, this, [this] { find(false); });
    connect(next, &QToolButton::clicked, this, [this] { find(true); });
    connect(closer, &QToolButton::clicked, this, &FindBar::close);
    connect(m_text, &QLineEdit::textChanged, m_result, &QLabel::clear);
}

void FindBar::open()
{
    if (m_editor->hasSelectedText()) {
        const QString selected = m_editor->selectedText();
        if (!selected.contains(QLatin1Char('\n')) && !selected.contains(QLatin1Char('\r')))
            m_text->setText(selected);
    }
    show();
    m_text->setFocus();
    m_text->selectAll();
}

void FindBar::close()
{
    hide();
    m_editor->setFocus();
}

bool FindBar::find(bool forward)
{
    const QString text = m_text->text();
    if (text.isEmpty())
        return false;
    int line = 0;
    int index = 0;
    if (m_editor->hasSelectedText()) {
        int lineFrom = 0, indexFrom = 0, lineTo = 0, indexTo = 0;
        m_editor->getSelection(&lineFrom, &indexFrom, &lineTo, &indexTo);
        line = forward ? lineTo : lineFrom;
        index = forward ? indexTo : indexFrom;
    } else {
        m_editor->getCursorPosition(&line, &index);
    }
    const bool found
        = m_editor->findFirst(text, false, m_case->isChecked(), false, true, forward, line, index, true);
    m_result->setText(found ? QString() : QStringLiteral("見つかりません"));
    return found;
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            find(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace pw::gui
