#pragma once

#include <QDialog>

#include <string>

class QPlainTextEdit;

namespace pw {
class TIniList;
}

namespace pw::gui {

// The settings text editor: the lines of the three settings stores side by
// side (ads.ini, Pagewick.ini, siteinfo.ini), written back through the normal
// save path on confirmation. Created once at start-up and kept for the whole run.
class TFmEditIni : public QDialog {
    Q_OBJECT
public:
    TFmEditIni(TIniList& adStore, TIniList& mainStore, TIniList& profileStore, std::string folder,
        QWidget* parent = nullptr);

    // Fills the three editors from the stores (done whenever the dialog becomes active).
    void refill();

protected:
    void changeEvent(QEvent* event) override;

private:
    void confirm();

    TIniList* m_stores[3];
    std::string m_folder;
    QPlainTextEdit* m_memos[3];
};

} // namespace pw::gui
