#pragma once

#include <QDialog>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class TFmNetworks;
}

namespace pw {
class TLoginInfo;
class TNetwork;
class TSiteInfo;
} // namespace pw

namespace pw::gui {

class BrowserWindow;
class TFmMessage;
class ProfilePage;
class SignupChecker;
struct Workspace;

// The networks and registration profiles dialog. Created once at start-up and
// kept for the whole run; it works on the workspace's network and profile
// lists. While it is open, a two-second checker fills the signup forms of the
// open signup windows from the profile on display.
class TFmNetworks : public QDialog {
    Q_OBJECT
public:
    explicit TFmNetworks(Workspace& workspace, QWidget* parent = nullptr);
    ~TFmNetworks() override;

    // Refills both lists from the workspace: the first profile and the first
    // network become current.
    void reload();

    TNetwork* CurrentNetwork() const { return m_currentNetwork; }
    TSiteInfo* CurrentSiteInfo() const { return m_currentSiteInfo; }

    // Shows or hides the maintainer fields (system code, Regist, signup
    // address, export button).
    void setMaintainerMode(bool on);
    bool maintainerMode() const;

    // The signup window open for `network`, or nullptr.
    BrowserWindow* signupWindow(const TNetwork& network) const;
    // The signup windows and their fill, started while the dialog shows.
    SignupChecker* signupChecker() const;
    // One round of the signup fill.
    void checkSignupWindows();

    // Asks for a text (caption, prompt, default); nullopt when cancelled.
    // Tests answer through the handler instead of a box.
    using InputHandler = std::function<std::optional<QString>(const QString&, const QString&, const QString&)>;
    static void SetInputHandler(InputHandler handler);

    // The explanation shown before a signup window opens.
    void setExplanation(TFmMessage* explanation);

    // The close button: commits the fields on display, then closes.
    void closeAndCommit();

signals:
    // The login button asks for this login to be opened.
    void loginRequested(pw::TLoginInfo* login);
    // The maintainer's export wrote this file.
    void definitionsExported(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowNetwork();
    void CommitNetwork();
    void ShowSiteInfo();
    void CommitSiteInfo();
    TLoginInfo* CurrentLogin() const;

    void networkSelected();
    void nameEdited();
    void profileChosen(int index);
    void switchProfile(int index, bool commitOld);
    void newNetwork();
    void deleteNetwork();
    void newProfile();
    void deleteProfile();
    void renameProfile();
    void login();
    void signup();
    void exportDefinitions();
    void userChanged();
    void checkLoginUrl();
    void setLogonActive(bool active);
    void setRegistActive(bool active);
    void selectRow(int row);
    int rowOf(const TNetwork* network) const;

    Workspace& m_workspace;
    std::unique_ptr<Ui::TFmNetworks> ui;
    TNetwork* m_currentNetwork = nullptr;
    TSiteInfo* m_currentSiteInfo = nullptr;
    bool m_logonActive = false;
    bool m_registActive = false;
    bool m_selecting = false;
    ProfilePage* m_page = nullptr;
    SignupChecker* m_checker = nullptr;
    QPointer<TFmMessage> m_explanation;
};

} // namespace pw::gui
