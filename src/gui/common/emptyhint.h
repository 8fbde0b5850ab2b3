#pragma once

#include <QObject>

class QAbstractItemModel;
class QAbstractItemView;
class QLabel;

namespace pw::gui {

// A line or two of guidance over an empty view, saying what to do first; it
// shows while `model` (the view's own, or the one its rows depend on) has no
// rows, and gives way to them as soon as there are any.
class EmptyHint : public QObject {
    Q_OBJECT
public:
    EmptyHint(QAbstractItemView* view, QAbstractItemModel* model, const QString& text);

    bool isShown() const;
    // What to do first may change with the state of the program.
    void setText(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();

    QAbstractItemModel* m_model;
    QLabel* m_label;
};

} // namespace pw::gui
