#include "gui/common/emptyhint.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QEvent>
#include <QLabel>

namespace pw::gui {

EmptyHint::EmptyHint(QAbstractItemView* view, QAbstractItemModel* model, const QString& text)
    : QObject(view)
    , m_model(model)
    , m_label(new QLabel(text, view->viewport()))
{
    m_label->setObjectName(view->objectName() + QStringLiteral("Hint"));
    m_label->setWordWrap(true);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setForegroundRole(QPalette::PlaceholderText);
    m_label->setContentsMargins(16, 16, 16, 16);
    // Clicks and drops reach the view beneath.
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    view->viewport()->installEventFilter(this);
    for (const auto signal : { &QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved })
        connect(model, signal, this, &EmptyHint::update);
    connect(model, &QAbstractItemModel::modelReset, this, &EmptyHint::update);
    connect(model, &QAbstractItemModel::layoutChanged, this, &EmptyHint::update);
    m_label->setGeometry(view->viewport()->rect());
    update();
}

bool EmptyHint::isShown() const
{
    return !m_label->isHidden();
}

bool EmptyHint::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        m_label->setGeometry(static_cast<QWidget*>(watched)->rect());
    return QObject::eventFilter(watched, event);
}

void EmptyHint::setText(const QString& text)
{
    m_label->setText(text);
}

void EmptyHint::update()
{
    m_label->setHidden(m_model->rowCount() > 0);
}

} // namespace pw::gui
