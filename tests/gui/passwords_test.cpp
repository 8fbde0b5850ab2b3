// The window and the keyring: the start-up question, the options choice and
// the password dialog, against GNOME Keyring on a private session bus.

#include "base/files.h"
#include "cli/secrets/keyringsession.h"
#include "formserver.h"
#include "gui/common/messagebox.h"
#include "gui/common/passworddialog.h"
#include "gui/mainwindow.h"
#include "gui/networks/networksarea.h"
#include "gui/options/fmoption.h"
#include "gui/workspace.h"
#include "net/curlftpclient.h"
#include "net/servers.h"
#include "networks/definitions.h"
#include "networks/network.h"
#include "secrets/keyringstore.h"
#include "settings/inilist.h"
#include "settings/secretstore.h"
#include "settings/settingsfile.h"
#include "shell/passwords.h"
#include "sites/connection.h"
#include "sites/setup.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <filesystem>
#include <functional>

using namespace pw;
using namespace pw::gui;

namespace {

std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

// The unscrambled Pagewick.ini of `folder`.
std::string MainText(const QString& folder)
{
    std::string image = ReadBytes(folder.toStdString() + "/Pagewick.ini");
    ScrambleFileImage(image);
    return image;
}

// Runs `work` on the password dialog once it shows; `ran` says it did.
void OnPasswordDialog(const std::function<void(PasswordDialog*)>& work, bool& ran)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, work, &ran] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<PasswordDialog*>(w);
            if (dialog && dialog->isVisible()) {
                timer->stop();
                timer->deleteLater();
                ran = true;
                work(dialog);
                return;
            }
        }
    });
    timer->start();
}

} // namespace

class PasswordsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    test::KeyringSession m_session;
    test::FtpServer m_ftp;
    QStringList m_questions;
    QMessageBox::StandardButton m_answer = QMessageBox::No;

    // A settings folder whose Pagewick.ini holds `setups` and one network login.
    QString writeSettings(const QString& name, std::vector<std::unique_ptr<TSetup>>& setups, bool login = true)
    {
        const QString folder = m_dir.filePath(name);
        std::filesystem::create_directories(folder.toStdString());
        TIniList store;
        SaveSetups(store, setups, 0);
        if (login) {
            NetworkList networks;
            networks.push_back(std::make_unique<TNetwork>());
            networks[0]->Name = "Alpha";
            networks[0]->LoginURL = "https://alpha.example/";
            networks[0]->SetLogin("site1", "u", "net secret");
            SaveNetworks(store, networks);
        }
        if (!SaveSettingsFile(store, folder.toStdString(), kMainSettingsFile).ok)
            qFatal("cannot write the settings");
        return folder;
    }

    std::unique_ptr<TSetup> ftpSetup(const std::string& name)
    {
        auto setup = std::make_unique<TSetup>();
        setup->Name = name;
        setup->Host = "127.0.0.1";
        setup->Port = m_ftp.port;
        setup->User = m_ftp.user;
        setup->Password = m_ftp.password;
        setup->IniPath = "/www";
        setup->Kind = skFtp;
        return setup;
    }

    std::unique_ptr<TMainForm> start(const QString& folder)
    {
        auto form = std::make_unique<TMainForm>(folder, folder, net::CurlFtpClientFactory(), [] { return true; });
        form->startUp();
        return form;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(
            m_session.Start(m_dir.filePath(QStringLiteral("session")).toStdString()), m_session.error.c_str());
        std::filesystem::create_directories(m_dir.filePath(QStringLiteral("home/www")).toStdString());
        QVERIFY(m_ftp.Start(m_dir.filePath(QStringLiteral("home")).toStdString()));
        SetMessageHandler([this](MessageType type, const QString& text) {
            if (type == MessageType::Confirmation)
                m_questions << text;
            return m_answer;
        });
    }

    void init() { m_questions.clear(); }

    // A first start with no password anywhere keeps them in the keyring from
    // then on, without a question.
    void newInstallTakesTheKeyring()
    {
        std::vector<std::unique_ptr<TSetup>> none;
        const QString folder = writeSettings(QStringLiteral("new"), none, false);
        start(folder);
        QVERIFY(m_questions.isEmpty());
        QVERIFY(MainText(folder).find("PasswordStore=keyring") != std::string::npos);
    }

    // Passwords in the file: asked once. No keeps the file and is not asked
    // again; Yes moves them, and then the file holds none.
    void startUpQuestionAskedOnce()
    {
        std::vector<std::unique_ptr<TSetup>> setups;
        setups.push_back(ftpSetup("site"));
        const QString kept = writeSettings(QStringLiteral("keep"), setups);
        m_answer = QMessageBox::No;
        start(kept);
        QCOMPARE(m_questions.size(), 1);
        QVERIFY(m_questions[0].contains(QStringLiteral("キーリング")));
        const std::string afterNo = MainText(kept);
        QVERIFY(afterNo.find("PasswordStore=file") != std::string::npos);
        QVERIFY(afterNo.find("Password=" + m_ftp.password) != std::string::npos);
        start(kept);
        QCOMPARE(m_questions.size(), 1);

        const QString moved = writeSettings(QStringLiteral("move"), setups);
        m_answer = QMessageBox::Yes;
        start(moved);
        QCOMPARE(m_questions.size(), 2);
        const std::string afterYes = MainText(moved);
        QVERIFY(afterYes.find("PasswordStore=keyring") != std::string::npos);
        QVERIFY(afterYes.find(m_ftp.password) == std::string::npos);
        QVERIFY(afterYes.find("net secret") == std::string::npos);
        start(moved);
        QCOMPARE(m_questions.size(), 2);
        m_answer = QMessageBox::No;
    }

    // The options switch moves every password the other way, and back.
    void optionsChoiceMovesThePasswords()
    {
        std::vector<std::unique_ptr<TSetup>> setups;
        setups.push_back(ftpSetup("site"));
        const QString folder = writeSettings(QStringLiteral("options"), setups);
        m_answer = QMessageBox::Yes;
        auto form = start(folder);
        m_answer = QMessageBox::No;
        QVERIFY(MainText(folder).find(m_ftp.password) == std::string::npos);
        TIniList store;
        QVERIFY(LoadSettingsFile(store, folder.toStdString(), kMainSettingsFile).ok);
        const std::string id = LoadSetups(store).Setups[0]->SecretId;
        QCOMPARE(QString::fromStdString(test::KeyringSecret(id)), QString::fromStdString(m_ftp.password));
        auto* dialog = form->findChild<TFmOption*>();
        QTimer::singleShot(0, dialog, [dialog] {
            auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("CBKeyring"));
            QVERIFY(box && box->isChecked());
            box->setChecked(false);
            dialog->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
        });
        form->findChild<QAction*>(QStringLiteral("MIOption"))->trigger();
        const std::string text = MainText(folder);
        QVERIFY(text.find("PasswordStore=file") != std::string::npos);
        QVERIFY(text.find("Password=" + m_ftp.password) != std::string::npos);
        QVERIFY(text.find("Password1=net secret") != std::string::npos);
        QCOMPARE(QString::fromStdString(test::KeyringSecret(id)), QString());
    }

    // A setup that asks each time shows the dialog without the box to keep
    // it; cancelled, nothing connects.
    void askEachTimeSetup()
    {
        std::vector<std::unique_ptr<TSetup>> setups;
        setups.push_back(ftpSetup("ask"));
        setups[0]->Password.clear();
        setups[0]->AskPassword = true;
        const QString folder = writeSettings(QStringLiteral("ask"), setups, false);
        auto form = start(folder);
        form->show();
        bool ran = false;
        OnPasswordDialog(
            [](PasswordDialog* d) {
                QVERIFY(!d->findChild<QCheckBox*>(QStringLiteral("CBSavePassword"))->isVisible());
                d->reject();
            },
            ran);
        form->findChild<QToolButton*>(QStringLiteral("TBConnect"))->click();
        QVERIFY(ran);
        QCOMPARE(form->findChild<QTreeView*>(QStringLiteral("TVConnected"))->model()->rowCount(), 0);

        // Answered, it connects; the password stays out of the file.
        ran = false;
        OnPasswordDialog(
            [this](PasswordDialog* d) {
                d->findChild<QLineEdit*>(QStringLiteral("EdPassword"))
                    ->setText(QString::fromStdString(m_ftp.password));
                d->accept();
            },
            ran);
        form->findChild<QToolButton*>(QStringLiteral("TBConnect"))->click();
        QVERIFY(ran);
        QCOMPARE(form->findChild<QTreeView*>(QStringLiteral("TVConnected"))->model()->rowCount(), 1);
        QVERIFY(MainText(folder).find(m_ftp.password) == std::string::npos);
    }

    // What the window saves with the keyring: the passwords it holds go
    // there, the file gets none, the records keep theirs; a changed password
    // replaces the item; a setup turned to "ask each time" loses its item.
    void savingWithTheKeyringKeepsPasswordsOutOfTheFile()
    {
        const std::unique_ptr<SecretStore> keyring = MakeKeyringStore();
        std::vector<std::unique_ptr<TSetup>> setups;
        setups.push_back(ftpSetup("saved"));
        NetworkList networks;
        networks.push_back(std::make_unique<TNetwork>());
        networks[0]->Name = "Alpha";
        networks[0]->SetLogin("site1", "u", "login pw");
        TIniList store;
        QVERIFY(SaveSetupsWithSecrets(store, setups, 0, {}, *keyring).ok);
        QVERIFY(SaveNetworksWithSecrets(store, networks, *keyring).ok);
        const std::string text = store.SaveToText();
        QVERIFY(text.find(m_ftp.password) == std::string::npos);
        QVERIFY(text.find("login pw") == std::string::npos);
        QCOMPARE(setups[0]->Password, m_ftp.password);
        const std::string id = setups[0]->SecretId;
        QCOMPARE(QString::fromStdString(test::KeyringSecret(id)), QString::fromStdString(m_ftp.password));
        QCOMPARE(QString::fromStdString(test::KeyringSecret(networks[0]->Logins[0].Info->SecretId)),
            QStringLiteral("login pw"));

        setups[0]->Password = "changed";
        QVERIFY(SaveSetupsWithSecrets(store, setups, 0, {}, *keyring).ok);
        QCOMPARE(QString::fromStdString(test::KeyringSecret(id)), QStringLiteral("changed"));
        QCOMPARE(LoadSetups(store).Setups[0]->SecretId, id);

        setups[0]->AskPassword = true;
        setups[0]->Password.clear();
        QVERIFY(SaveSetupsWithSecrets(store, setups, 0, {}, *keyring).ok);
        QCOMPARE(QString::fromStdString(test::KeyringSecret(id)), QString());
    }

    // A definitions update writes the networks as they are in memory, where
    // the passwords read from the keyring sit: they still stay out of the file.
    void definitionsUpdateKeepsKeyringPasswordsOutOfTheFile()
    {
        std::vector<std::unique_ptr<TSetup>> none;
        const QString folder = writeSettings(QStringLiteral("update"), none);
        {
            TIniList store;
            QVERIFY(LoadSettingsFile(store, folder.toStdString(), kMainSettingsFile).ok);
            NetworkList networks;
            LoadNetworks(store, networks);
            networks[0]->System = "alpha";
            SaveNetworks(store, networks);
            QVERIFY(SaveSettingsFile(store, folder.toStdString(), kMainSettingsFile).ok);
            // The service offers the same network in a newer version.
            TIniList scratch;
            const QString served = m_dir.filePath(QStringLiteral("served"));
            std::filesystem::create_directories(served.toStdString());
            QVERIFY(ExportNetworks(scratch, networks, "7", served.toStdString()).ok);
        }
        pw::test::FormServer service;
        QVERIFY(service.start(m_dir.filePath(QStringLiteral("served"))));
        m_answer = QMessageBox::Yes;
        auto form = start(folder);
        m_answer = QMessageBox::Ok;
        QVERIFY(MainText(folder).find("net secret") == std::string::npos);
        // As after the networks dialog or a login: the password is in memory.
        QVERIFY(FillLoginPasswords(*form->workspace().Secrets, form->workspace().Networks).ok);
        QCOMPARE(form->workspace().Networks[0]->Logins[0].Info->Password, std::string("net secret"));
        form->workspace().IniListSetup.WriteString("Setups", "ServiceURL", service.url(QString()).toStdString());
        form->networks()->updateNetworks();
        const std::string text = MainText(folder);
        QVERIFY(text.find("v2=7") != std::string::npos);
        QVERIFY(text.find("net secret") == std::string::npos);
        m_answer = QMessageBox::No;
    }

    // Last, as it ends the keyring: a password that cannot be read is asked
    // for, with "パスワードを保存する" ticked; the connection works with it.
    void unreadablePasswordIsAskedFor()
    {
        std::vector<std::unique_ptr<TSetup>> setups;
        setups.push_back(ftpSetup("site"));
        const QString folder = writeSettings(QStringLiteral("dead"), setups, false);
        m_answer = QMessageBox::Yes;
        start(folder); // moves the password to the keyring
        m_answer = QMessageBox::No;
        const std::string before = ReadBytes(folder.toStdString() + "/Pagewick.ini");
        m_session.StopKeyring();

        auto form = start(folder);
        form->show();
        bool ran = false;
        OnPasswordDialog(
            [this](PasswordDialog* d) {
                auto* save = d->findChild<QCheckBox*>(QStringLiteral("CBSavePassword"));
                QVERIFY(save->isVisible());
                QVERIFY(save->isChecked());
                save->setChecked(false);
                d->findChild<QLineEdit*>(QStringLiteral("EdPassword"))
                    ->setText(QString::fromStdString(m_ftp.password));
                d->accept();
            },
            ran);
        form->findChild<QToolButton*>(QStringLiteral("TBConnect"))->click();
        QVERIFY(ran);
        QCOMPARE(form->findChild<QTreeView*>(QStringLiteral("TVConnected"))->model()->rowCount(), 1);
        QCOMPARE(ReadBytes(folder.toStdString() + "/Pagewick.ini"), before);

        // A move back to the file fails with the keyring gone: the window says so
        // in its own words, the keyring's behind 詳細, and nothing changes.
        QStringList errors;
        SetMessageHandler([&](MessageType type, const QString& text) {
            if (type == MessageType::Error)
                errors << text;
            return m_answer;
        });
        auto* dialog = form->findChild<TFmOption*>();
        QTimer::singleShot(0, dialog, [dialog] {
            dialog->findChild<QCheckBox*>(QStringLiteral("CBKeyring"))->setChecked(false);
            dialog->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
        });
        form->findChild<QAction*>(QStringLiteral("MIOption"))->trigger();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].startsWith(QStringLiteral("パスワードを設定ファイルに移せませんでした。")),
            qPrintable(errors[0]));
        QCOMPARE(ReadBytes(folder.toStdString() + "/Pagewick.ini"), before);
    }
};

QTEST_MAIN(PasswordsTest)
#include "passwords_test.moc"
