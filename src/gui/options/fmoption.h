#pragma once

#include "shell/onlineservices.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TFmOption;
}

namespace pw {
class TIniList;
}

class QCheckBox;

namespace pw::gui {

// The options dialog: the HTTP proxy of the program's web requests (kept in
// ads.ini) and the address of the online service (kept in Pagewick.ini).
// Created once at start-up and kept for the whole run.
class TFmOption : public QDialog {
    Q_OBJECT
public:
    // `adStore` is ads.ini, `mainStore` Pagewick.ini; both saved into `folder`.
    TFmOption(TIniList& adStore, TIniList& mainStore, std::string folder, QWidget* parent = nullptr);
    ~TFmOption() override;

    // Fills the fields from the stores.
    void LoadOptions();

    // What the fields show.
    bool proxyOn() const;
    QString proxyServer() const;
    // The port field as a number; false when it is not a whole number.
    bool proxyPort(int& port) const;
    QString serviceUrl() const;
    // "パスワードをキーリングに保存する": ticked when the keyring keeps them.
    bool keyringChosen() const;

private:
    void proxyClicked();
    void confirm();

    TIniList& m_adStore;
    TIniList& m_mainStore;
    std::string m_folder;
    std::unique_ptr<Ui::TFmOption> ui;
    QCheckBox* m_keyring;
};

// The section of the options' keys (the service address key is kServiceUrlKey).
inline constexpr const char* kOptionsSection = "Setups";

} // namespace pw::gui
