#pragma once

#include "sites/setup.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLineEdit;
class QMenu;
class QAction;

namespace Ui {
class TFmHosts;
}

namespace pw::gui {

// The host list dialog: the list of setups on the left, the fields of the
// chosen one on the right (a page for FTP hosts, one for local folders), and
// the new, delete, connect and close buttons.
//
// It edits its own copies of the setups (SetSetups). The connect button closes
// it with QDialog::Accepted, the close button and Esc with Rejected; both keep
// the edits, so the caller takes Setups() and SelectedRow() after every use and
// saves them (SaveSetups), then connects the selected row on Accepted. Closing
// by the window's close box keeps new and deleted setups but not the fields of
// the one shown.
class TFmHosts : public QDialog {
    Q_OBJECT
public:
    explicit TFmHosts(QWidget* parent = nullptr);
    ~TFmHosts() override;

    // Replaces the rows by copies of `setups`, in order; no setup is current.
    void SetSetups(const std::vector<std::unique_ptr<TSetup>>& setups);
    const std::vector<std::unique_ptr<TSetup>>& Setups() const { return m_setups; }
    // The selected row (-1 none): the one to connect after the connect button.
    int SelectedRow() const;

    // Selects a row without the checks of a row change and shows it (a negative
    // index: no current setup).
    void SelectSetup(int row);
    TSetup* CurrentSetup() const { return m_current; }

    void ShowSetup();
    void CommitSetup();
    // Trims the port field and writes it back; its value when it is a number
    // above 0, else -1.
    int ReadPort();
    // Whether a setup other than the current one has this name (Shift_JIS
    // bytes); false without a current setup.
    bool NameInUse(const std::string& name) const;
    // The prefix and one more than the largest number following it in the
    // row captions (Shift_JIS bytes).
    std::string MakeDefaultName(const std::string& prefix) const;

    void NewFtpHost();
    void NewLocalFolder();
    void DeleteSetup();

    // Picks a folder or a file; empty when the user cancelled. The dialog
    // uses the system's file dialogs unless a test sets its own.
    using PathChooser = std::function<QString(QWidget* parent, const QString& title, const QString& start)>;
    void SetFolderChooser(PathChooser chooser) { m_chooseFolder = std::move(chooser); }
    void SetKeyFileChooser(PathChooser chooser) { m_chooseKeyFile = std::move(chooser); }

    // The password the anonymous check box fills in.
    static QString AnonymousPassword();

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    int currentRow() const;
    bool isFtpPage() const;
    QLineEdit* nameField() const;
    void addRow(int row, TSetup& setup);
    void selectRowQuietly(int row);
    void rowSelected();
    void insertSetup(std::unique_ptr<TSetup> setup);
    void checkField(QLineEdit* field);
    void focusBack(QLineEdit* field);
    void anonymousToggled(bool checked);
    void protocolChosen(int index);
    void showProtocolFields(SiteProtocol protocol);
    void browseFolder();
    void browseKeyFile();

    std::unique_ptr<Ui::TFmHosts> ui;
    QMenu* m_newMenu = nullptr;
    QAction* m_newFtp = nullptr;
    QAction* m_newLocal = nullptr;
    std::vector<std::unique_ptr<TSetup>> m_setups;
    TSetup* m_current = nullptr;
    SiteProtocol m_shownProtocol = SiteProtocol::Ftp;
    bool m_checking = false;
    bool m_closingByBox = false;
    PathChooser m_chooseFolder;
    PathChooser m_chooseKeyFile;
};

} // namespace pw::gui
