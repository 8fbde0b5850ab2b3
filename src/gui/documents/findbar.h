#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QsciScintilla;

namespace pw::gui {

// The find bar under a page's editor: Enter finds the next match, Shift+Enter
// the previous one, Escape closes the bar. The search wraps around the page.
class FindBar : public QWidget {
    Q_OBJECT
public:
    FindBar(QsciScintilla* editor, QWidget* parent = nullptr);

    // Shows the bar with the editor's selected text (when on one line) and
    // puts the focus into it.
    void open();
    // Finds the next (or previous) match from the selection; false when
    // there is none.
    bool find(bool forward);
    QLineEdit* textField() const { return m_text; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void close();

    QsciScintilla* m_editor;
    QLineEdit* m_text = nullptr;
    QCheckBox* m_case = nullptr;
    QLabel* m_result = nullptr;
};

} // namespace pw::gui
