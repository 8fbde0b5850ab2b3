#include "gui/common/messagebox.h"
#include "gui/sites/fmhosts.h"
#include "settings/inilist.h"
#include "sites/setup.h"
#include "text/codec.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace pw;
using namespace pw::gui;

namespace {

std::string Sjis(const QString& text)
{
    return codec::EncodeSjis(text.toStdString()).bytes;
}

QString Text(const std::string& sjis)
{
    return QString::fromStdString(codec::DecodeSjis(sjis));
}

struct Message {
    MessageType type;
    QString text;
};

// A shown dialog whose message boxes are answered by the test.
struct Fixture {
    TIniList store;
    TFmHosts dialog;
    std::vector<Message> messages;
    QMessageBox::StandardButton answer = QMessageBox::Yes;

    explicit Fixture(const char* ini = "")
    {
        SetMessageHandler([this](MessageType type, const QString& text) {
            messages.push_back({ type, text });
            return answer;
        });
        store.LoadFromText(ini);
        SetupList list = LoadSetups(store);
        dialog.SetSetups(list.Setups);
        dialog.SelectSetup(list.SelectedIndex);
        dialog.show();
        if (!QTest::qWaitForWindowActive(&dialog))
            qFatal("the dialog does not become active");
    }
    ~Fixture() { SetMessageHandler({}); }

    template <class T> T* get(const char* name)
    {
        T* widget = dialog.findChild<T*>(QLatin1String(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QLineEdit* edit(const char* name) { return get<QLineEdit>(name); }
    QTreeWidget* list() { return get<QTreeWidget>("LVSetups"); }
    QStringList captions()
    {
        QStringList names;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            names << list()->topLevelItem(i)->text(0);
        return names;
    }
    void type(const char* name, const QString& text)
    {
        QLineEdit* field = edit(name);
        field->setFocus();
        field->selectAll();
        field->insert(text); // as typed (keyClicks takes Latin-1 only)
    }
    // Moves the focus out of a field the way a user does, and lets queued
    // focus changes happen.
    void leave(QWidget* to)
    {
        to->setFocus();
        QCoreApplication::processEvents();
    }
    void choose(const char* protocol)
    {
        auto* box = get<QComboBox>("CBProtocol");
        const int index = box->findText(QString::fromUtf8(protocol));
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void clickRow(int row) { list()->setCurrentItem(list()->topLevelItem(row)); }
    QString lastMessage() const { return messages.empty() ? QString() : messages.back().text; }
    QString read(int n, const char* key)
    {
        return Text(store.ReadString("Setup" + std::to_string(n), key, "<none>"));
    }
};

const char* const kTwoSetups = "[Setups]\nCount=2\nDefautIndex=0\n"
                               "[Setup1]\nName=alpha\nHost=alpha.example.jp\nUser=a\nPassword=pa\nPort=2121\n"
                               "[Setup2]\nName=beta\nHost=beta.example.jp\nUser=anonymous\nPassword=x@y\n";

} // namespace

class FmHostsTest : public QObject {
    Q_OBJECT

private slots:
    void keepsItsNameCaptionAndSize();
    void everyControlHasAnAccessibleName();
    void filledDialogIsSavedAfterConnect();
    void fieldChecksWarnAndHoldTheRow();
    void newSetupsAreNumberedAfterTheLargestName();
    void anonymousFillsAndRestoresTheLogin();
    void deleteAsksAndSelectsANeighbour();
    void closeButtonKeepsFieldsCloseBoxDoesNot();
    void protocolBoxTurnsAHostIntoAFolderAndBack();
    void charsetAndDirectStoreAreSaved();
    void askEachTimeKeepsNoPassword();
    void editRunsTheDialogOnACopyOfTheList();
    void altLettersMoveToTheirFields();
};

void FmHostsTest::keepsItsNameCaptionAndSize()
{
    TFmHosts dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("FmHosts"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("ホスト一覧"));
    dialog.show();
    QCOMPARE(dialog.size(), QSize(560, 400)); // the added fields fit in the size it always had
    auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("LVSetups"));
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("サーバー・ローカルフォルダリスト"));
    QCOMPARE(list->columnWidth(0), 213);
    auto* password = dialog.findChild<QLineEdit*>(QStringLiteral("EdPassword"));
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    password->setText(QStringLiteral("secret"));
    QVERIFY(!password->displayText().contains(QStringLiteral("secret")));
    // Without a current setup the folder page shows, empty and disabled.
    auto* pages = dialog.findChild<QStackedWidget*>(QStringLiteral("PCSetup"));
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("TSFolder"));
    QVERIFY(!dialog.findChild<QLineEdit*>(QStringLiteral("EdName1"))->isEnabled());
    QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("BtBrowse"))->isEnabled());
}

void FmHostsTest::everyControlHasAnAccessibleName()
{
    TFmHosts dialog;
    QStringList unnamed;
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QStringLiteral("qt_")))
            continue; // parts Qt makes inside its widgets
        if (w->accessibleName().isEmpty())
            unnamed << name;
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1Char(' '))));
}

void FmHostsTest::filledDialogIsSavedAfterConnect()
{
    Fixture f("[Setups]\nCount=1\nDefautIndex=0\n[Setup1]\nName=old\nHost=old.example.jp\nUser=u\nPassword=p\n"
              "Port=2121\n");
    f.dialog.SetKeyFileChooser(
        [](QWidget*, const QString&, const QString&) { return QStringLiteral("/keys/id_shop"); });
    f.dialog.SetFolderChooser([](QWidget*, const QString& title, const QString&) {
        return title == QStringLiteral("初期フォルダ[HTMLのルータフォルダ]") ? QStringLiteral("/srv/www/site")
                                                                             : QString();
    });

    // An SFTP host.
    f.get<QAction>("MINewFtp")->trigger();
    QCOMPARE(f.captions(), (QStringList { QStringLiteral("サーバー1"), QStringLiteral("old") }));
    QCOMPARE(f.get<QStackedWidget>("PCSetup")->currentWidget()->objectName(), QStringLiteral("TSFtp"));
    QCOMPARE(f.edit("EdHost")->text(), QStringLiteral("ホスト"));
    QCOMPARE(f.edit("EdPort")->text(), QStringLiteral("21"));
    f.type("EdName", QStringLiteral("本店"));
    f.type("EdHost", QStringLiteral("sftp.shop.jp"));
    f.type("EdUser", QStringLiteral("shop"));
    f.type("EdPassword", QStringLiteral("pass phrase"));
    f.leave(f.edit("EdIniPath"));
    QCOMPARE(f.edit("EdRootURL")->text(), QStringLiteral("http://sftp.shop.jp/")); // filled on leaving the host
    QCOMPARE(f.captions().front(), QStringLiteral("本店")); // renamed on leaving the name
    QVERIFY(!f.edit("EdKeyFile")->isEnabled());
    f.choose("SFTP");
    QCOMPARE(f.edit("EdPort")->text(), QStringLiteral("22")); // the port follows the protocol
    QVERIFY(f.edit("EdKeyFile")->isEnabled());
    QVERIFY(!f.get<QCheckBox>("CBPassive")->isEnabled());
    QTest::mouseClick(f.get<QPushButton>("BtKeyFile"), Qt::LeftButton);
    QCOMPARE(f.edit("EdKeyFile")->text(), QStringLiteral("/keys/id_shop"));
    f.type("EdIniPath", QStringLiteral("  www  "));
    f.get<QCheckBox>("CBLastLoginPath")->setChecked(true);

    // An FTPS host in active mode on its own port.
    f.get<QAction>("MINewFtp")->trigger();
    QCOMPARE(f.captions().front(), QStringLiteral("サーバー1"));
    f.type("EdHost", QStringLiteral("ftps.shop.jp"));
    f.choose("FTPS");
    QCOMPARE(f.edit("EdPort")->text(), QStringLiteral("21"));
    f.type("EdPort", QStringLiteral("990"));
    f.get<QCheckBox>("CBPassive")->setChecked(false);
    f.type("EdRootURL", QStringLiteral("https://shop.jp/"));

    // A local folder, through the browse button.
    f.get<QAction>("MINewLocal")->trigger();
    QCOMPARE(f.get<QStackedWidget>("PCSetup")->currentWidget()->objectName(), QStringLiteral("TSFolder"));
    QCOMPARE(f.edit("EdName1")->text(), QStringLiteral("ローカルフォルダ1"));
    QTest::mouseClick(f.get<QPushButton>("BtBrowse"), Qt::LeftButton);
    QCOMPARE(f.edit("EdIniPath1")->text(), QStringLiteral("/srv/www/site"));

    QTest::mouseClick(f.get<QPushButton>("BtConnect"), Qt::LeftButton);
    QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
    QVERIFY(!f.dialog.isVisible());
    QCOMPARE(f.dialog.SelectedRow(), 0);
    QVERIFY2(f.messages.empty(), qPrintable(f.lastMessage()));

    SaveSetups(f.store, f.dialog.Setups(), f.dialog.SelectedRow());
    QCOMPARE(f.store.ReadInteger("Setups", "Count", 0), 4);
    QCOMPARE(f.store.ReadInteger("Setups", "DefautIndex", -2), 0);
    // Newest first.
    QCOMPARE((f.read(1, "Name")), QStringLiteral("ローカルフォルダ1"));
    QCOMPARE(f.read(1, "IniPath"), QStringLiteral("/srv/www/site"));

    QCOMPARE((f.read(2, "Name")), QStringLiteral("サーバー1"));
    QCOMPARE(f.read(2, "Host"), QStringLiteral("ftps.shop.jp"));
    QCOMPARE(f.read(2, "Protocol"), QStringLiteral("ftps"));
    QCOMPARE(f.read(2, "Port"), QStringLiteral("990"));
    QCOMPARE(f.read(2, "Passive"), QStringLiteral("0"));
    QCOMPARE(f.read(2, "RootURL"), QStringLiteral("https://shop.jp/"));

    QCOMPARE((f.read(3, "Name")), QStringLiteral("本店"));
    QCOMPARE(f.read(3, "Host"), QStringLiteral("sftp.shop.jp"));
    QCOMPARE(f.read(3, "User"), QStringLiteral("shop"));
    QCOMPARE(f.read(3, "Password"), QStringLiteral("pass phrase"));
    QCOMPARE(f.read(3, "IniPath"), QStringLiteral("www"));
    QCOMPARE(f.read(3, "RootURL"), QStringLiteral("http://sftp.shop.jp/"));
    QCOMPARE(f.read(3, "Protocol"), QStringLiteral("sftp"));
    QCOMPARE(f.read(3, "Port"), QStringLiteral("22"));
    QCOMPARE(f.read(3, "KeyFile"), QStringLiteral("/keys/id_shop"));
    QCOMPARE(f.read(3, "LastLoginPath"), QStringLiteral("1"));

    QCOMPARE(f.read(4, "Name"), QStringLiteral("old"));
    QCOMPARE(f.read(4, "Port"), QStringLiteral("2121"));
    QCOMPARE(f.read(4, "Password"), QStringLiteral("p"));

    // And they load back with their kinds.
    SetupList loaded = LoadSetups(f.store);
    QCOMPARE(loaded.Setups.size(), size_t(4));
    QCOMPARE(loaded.Setups[0]->Kind, skLocal);
    QCOMPARE(loaded.Setups[2]->Kind, skFtp);
    QCOMPARE(loaded.Setups[2]->Protocol, SiteProtocol::Sftp);
}

void FmHostsTest::fieldChecksWarnAndHoldTheRow()
{
    Fixture f(kTwoSetups);
    QCOMPARE(f.dialog.CurrentSetup()->Name, "alpha");
    QLineEdit* name = f.edit("EdName");
    QLineEdit* host = f.edit("EdHost");
    QLineEdit* port = f.edit("EdPort");

    struct Case {
        const char* field;
        QString text;
        QString message;
    };
    const Case cases[] = {
        { "EdName", QStringLiteral("beta"),
            QStringLiteral("設定名は使われています、別の設定名を入力してください。") },
        { "EdHost", QString(), QStringLiteral("ホストアドレスを入力してください。") },
        { "EdPort", QStringLiteral("0"), QStringLiteral("ポート番号は正数で入力してください。") },
        { "EdPort", QStringLiteral("abc"), QStringLiteral("ポート番号は正数で入力してください。") },
    };
    for (const Case& c : cases) {
        f.messages.clear();
        QLineEdit* field = f.edit(c.field);
        const QString before = field->text();
        field->setFocus();
        field->setText(c.text);
        f.leave(f.edit("EdIniPath"));
        QCOMPARE(f.messages.size(), size_t(1));
        QCOMPARE(f.messages.front().type, MessageType::Warning);
        QCOMPARE(f.lastMessage(), c.message);
        QCOMPARE(QApplication::focusWidget(), field); // the focus went back
        // Another row cannot be chosen while the field is wrong; no further message.
        f.clickRow(1);
        QCOMPARE(f.dialog.CurrentSetup()->Name, "alpha");
        QCOMPARE(f.dialog.SelectedRow(), 0);
        QCOMPARE(f.messages.size(), size_t(1));
        field->setText(before);
        f.leave(f.edit("EdIniPath"));
        QCOMPARE(f.messages.size(), size_t(1));
    }
    QCOMPARE(f.captions(), (QStringList { QStringLiteral("alpha"), QStringLiteral("beta") }));
    (void)name;
    (void)host;
    (void)port;

    // Blanks around a name go; the port field is trimmed too.
    f.type("EdName", QStringLiteral("  gamma "));
    f.type("EdPort", QStringLiteral(" 8021 "));
    f.leave(f.edit("EdIniPath"));
    QCOMPARE(f.edit("EdName")->text(), QStringLiteral("gamma"));
    QCOMPARE(f.captions().front(), QStringLiteral("gamma"));
    // Now the row changes and the edits are kept.
    f.clickRow(1);
    QCOMPARE(f.dialog.CurrentSetup()->Name, "beta");
    QCOMPARE(f.dialog.Setups()[0]->Name, "gamma");
    QCOMPARE(f.dialog.Setups()[0]->Port, 8021);
    QVERIFY(f.messages.size() == 1);

    // The standard button puts the protocol's port back.
    f.type("EdPort", QStringLiteral("1"));
    QTest::mouseClick(f.get<QPushButton>("BtStandardPort"), Qt::LeftButton);
    QCOMPARE(f.edit("EdPort")->text(), QStringLiteral("21"));
    QCOMPARE(QApplication::focusWidget(), f.edit("EdPort"));
}

void FmHostsTest::newSetupsAreNumberedAfterTheLargestName()
{
    Fixture f;
    f.get<QAction>("MINewFtp")->trigger();
    f.get<QAction>("MINewFtp")->trigger();
    QCOMPARE(f.captions(), (QStringList { QStringLiteral("サーバー2"), QStringLiteral("サーバー1") }));
    f.type("EdName", QStringLiteral("サーバー7"));
    f.leave(f.get<QPushButton>("BtNew")); // the click on the new button takes the focus first
    f.get<QAction>("MINewFtp")->trigger();
    QCOMPARE(f.captions().front(), QStringLiteral("サーバー8"));
    QCOMPARE(f.dialog.CurrentSetup(), f.dialog.Setups().front().get());
    f.get<QAction>("MINewLocal")->trigger();
    QCOMPARE(f.captions().front(), QStringLiteral("ローカルフォルダ1"));
    QCOMPARE(f.dialog.CurrentSetup()->Kind, skLocal);
    // A rest that is no number is skipped.
    QCOMPARE(f.dialog.MakeDefaultName(Sjis(QStringLiteral("サーバー"))), Sjis(QStringLiteral("サーバー9")));
    f.type("EdName1", QStringLiteral("サーバーx12"));
    f.leave(f.edit("EdIniPath1"));
    QCOMPARE(f.dialog.MakeDefaultName(Sjis(QStringLiteral("サーバー"))), Sjis(QStringLiteral("サーバー9")));
    QVERIFY2(f.messages.empty(), qPrintable(f.lastMessage()));
}

void FmHostsTest::anonymousFillsAndRestoresTheLogin()
{
    Fixture f(kTwoSetups);
    auto* anonymous = f.get<QCheckBox>("CBAnonymous");
    QVERIFY(!anonymous->isChecked());
    QTest::mouseClick(anonymous, Qt::LeftButton);
    QCOMPARE(f.edit("EdUser")->text(), QStringLiteral("anonymous"));
    QCOMPARE(f.edit("EdPassword")->text(), TFmHosts::AnonymousPassword());
    QVERIFY(TFmHosts::AnonymousPassword().contains(QLatin1Char('@')));
    QVERIFY(!f.edit("EdUser")->isEnabled());
    QVERIFY(!f.edit("EdPassword")->isEnabled());
    QTest::mouseClick(anonymous, Qt::LeftButton);
    QCOMPARE(f.edit("EdUser")->text(), QStringLiteral("a"));
    QCOMPARE(f.edit("EdPassword")->text(), QStringLiteral("pa"));
    QVERIFY(f.edit("EdUser")->isEnabled());

    // A setup that logs in as anonymous shows the box checked.
    f.clickRow(1);
    QVERIFY(anonymous->isChecked());
    QCOMPARE(f.edit("EdUser")->text(), QStringLiteral("anonymous"));
    f.clickRow(0);
    QVERIFY(!anonymous->isChecked());
    QCOMPARE(f.edit("EdUser")->text(), QStringLiteral("a"));
}

void FmHostsTest::deleteAsksAndSelectsANeighbour()
{
    Fixture f(kTwoSetups);
    auto* remove = f.get<QPushButton>("BtDelete");

    f.dialog.SelectSetup(-1);
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(f.lastMessage(), QStringLiteral("リストからひとつを選んでください。"));
    QCOMPARE(f.dialog.Setups().size(), size_t(2));

    f.dialog.SelectSetup(1);
    f.messages.clear();
    f.answer = QMessageBox::No;
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(f.messages.size(), size_t(1));
    QCOMPARE(f.messages.front().type, MessageType::Confirmation);
    QCOMPARE(f.lastMessage(), QStringLiteral("ほんとうに削除してもよろしいでしょうか？"));
    QCOMPARE(f.dialog.Setups().size(), size_t(2));

    // The last row goes: the one before it is selected.
    f.answer = QMessageBox::Yes;
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(f.captions(), QStringList { QStringLiteral("alpha") });
    QCOMPARE(f.dialog.SelectedRow(), 0);
    QCOMPARE(f.dialog.CurrentSetup()->Name, "alpha");
    QCOMPARE(f.edit("EdName")->text(), QStringLiteral("alpha"));

    // The only row goes: nothing is current, the folder page is empty and disabled.
    QTest::mouseClick(remove, Qt::LeftButton);
    QVERIFY(f.dialog.Setups().empty());
    QCOMPARE(f.dialog.CurrentSetup(), nullptr);
    QCOMPARE(f.get<QStackedWidget>("PCSetup")->currentWidget()->objectName(), QStringLiteral("TSFolder"));
    QVERIFY(!f.edit("EdName1")->isEnabled());
    QVERIFY(f.edit("EdName1")->text().isEmpty());
}

void FmHostsTest::closeButtonKeepsFieldsCloseBoxDoesNot()
{
    {
        Fixture f(kTwoSetups);
        f.edit("EdUser")->setText(QStringLiteral("changed"));
        QTest::mouseClick(f.get<QPushButton>("BtClose"), Qt::LeftButton);
        QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
        QCOMPARE(f.dialog.Setups()[0]->User, "changed");
    }
    {
        Fixture f(kTwoSetups);
        f.edit("EdUser")->setText(QStringLiteral("changed"));
        QTest::keyClick(&f.dialog, Qt::Key_Escape);
        QVERIFY(!f.dialog.isVisible());
        QCOMPARE(f.dialog.Setups()[0]->User, "changed");
    }
    {
        Fixture f(kTwoSetups);
        f.edit("EdUser")->setText(QStringLiteral("changed"));
        f.dialog.close();
        QVERIFY(!f.dialog.isVisible());
        QCOMPARE(f.dialog.Setups()[0]->User, "a");
    }
}

void FmHostsTest::protocolBoxTurnsAHostIntoAFolderAndBack()
{
    Fixture f(kTwoSetups);
    f.choose("ローカルフォルダ");
    QCOMPARE(f.get<QStackedWidget>("PCSetup")->currentWidget()->objectName(), QStringLiteral("TSFolder"));
    QCOMPARE(f.edit("EdName1")->text(), QStringLiteral("alpha"));
    QVERIFY(f.edit("EdName1")->isEnabled());
    f.type("EdIniPath1", QStringLiteral("/srv/alpha"));
    QTest::mouseClick(f.get<QPushButton>("BtClose"), Qt::LeftButton);
    SaveSetups(f.store, f.dialog.Setups(), 0);
    SetupList loaded = LoadSetups(f.store);
    QCOMPARE(loaded.Setups[0]->Kind, skLocal); // no host is kept, so it loads as a folder
    QCOMPARE(loaded.Setups[0]->IniPath, "/srv/alpha");

    // And back: a remote host with the placeholder host and the protocol's port.
    f.dialog.show();
    f.dialog.SelectSetup(0);
    f.choose("SFTP");
    QCOMPARE(f.get<QStackedWidget>("PCSetup")->currentWidget()->objectName(), QStringLiteral("TSFtp"));
    QCOMPARE(f.edit("EdHost")->text(), QStringLiteral("ホスト"));
    QCOMPARE(f.edit("EdPort")->text(), QStringLiteral("22"));
    QCOMPARE(f.edit("EdIniPath")->text(), QString()); // a disk path means nothing on the server
    QCOMPARE(f.edit("EdName")->text(), QStringLiteral("alpha"));
    QVERIFY(f.messages.empty());
}

void FmHostsTest::charsetAndDirectStoreAreSaved()
{
    Fixture f(kTwoSetups);
    auto* charset = f.get<QComboBox>("CBCharset");
    auto* direct = f.get<QCheckBox>("CBStoreDirectly");
    QCOMPARE(charset->count(), 4);
    QCOMPARE(charset->currentIndex(), 0); // a missing charset is automatic
    QVERIFY(!direct->isChecked());
    QCOMPARE(direct->text(), QStringLiteral("サーバーが名前の変更を許さないときは直接保存する"));
    charset->setCurrentIndex(charset->findText(QStringLiteral("euc-jp")));
    direct->setChecked(true);
    QTest::mouseClick(f.get<QPushButton>("BtConnect"), Qt::LeftButton);
    SaveSetups(f.store, f.dialog.Setups(), f.dialog.SelectedRow());
    QCOMPARE(f.read(1, "Charset"), QStringLiteral("euc-jp"));
    QCOMPARE(f.read(1, "StoreDirectly"), QStringLiteral("1"));
    QCOMPARE(f.read(2, "StoreDirectly"), QStringLiteral("0"));
}

// "Ask each time" empties and locks the password field, and the setup is
// stored with the flag and no password; the other setup gets no new key.
void FmHostsTest::askEachTimeKeepsNoPassword()
{
    std::string saved;
    {
        Fixture f(kTwoSetups);
        auto* ask = f.get<QCheckBox>("CBAskPassword");
        QVERIFY(!ask->isChecked());
        QCOMPARE(f.edit("EdPassword")->text(), QStringLiteral("pa"));
        ask->setChecked(true);
        QVERIFY(f.edit("EdPassword")->text().isEmpty());
        QVERIFY(!f.edit("EdPassword")->isEnabled());
        QTest::mouseClick(f.get<QPushButton>("BtConnect"), Qt::LeftButton);
        SaveSetups(f.store, f.dialog.Setups(), f.dialog.SelectedRow());
        QCOMPARE(f.read(1, "AskPassword"), QStringLiteral("1"));
        QCOMPARE(f.read(1, "Password"), QStringLiteral("<none>")); // the key is there, empty
        QVERIFY(f.store.SaveToText().find("Password=\r\n") != std::string::npos);
        QCOMPARE(f.read(2, "AskPassword"), QStringLiteral("<none>"));
        QCOMPARE(f.read(2, "Password"), QStringLiteral("x@y"));
        saved = f.store.SaveToText();
    }
    Fixture again(saved.c_str());
    QVERIFY(again.get<QCheckBox>("CBAskPassword")->isChecked());
    QVERIFY(!again.edit("EdPassword")->isEnabled());
}

void FmHostsTest::editRunsTheDialogOnACopyOfTheList()
{
    TIniList store;
    store.LoadFromText(kTwoSetups);
    SetupList list = LoadSetups(store);
    TFmHosts dialog;
    std::vector<Message> messages;
    SetMessageHandler([&](MessageType type, const QString& text) {
        messages.push_back({ type, text });
        return QMessageBox::Yes;
    });
    // While the dialog runs: rename the shown setup, add a folder, connect.
    QTimer::singleShot(0, &dialog, [&dialog] {
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("EdName"));
        name->setText(QStringLiteral("beta2"));
        dialog.NewLocalFolder();
        dialog.findChild<QPushButton*>(QStringLiteral("BtConnect"))->click();
    });
    // As the sites area runs it: hand over the list, run, take the edits back.
    dialog.SetSetups(list.Setups);
    dialog.SelectSetup(1);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    SetMessageHandler({});
    QVERIFY(messages.empty());
    QCOMPARE(dialog.SelectedRow(), 0);
    const auto& edited = dialog.Setups();
    QCOMPARE(edited.size(), size_t(3));
    QCOMPARE(Text(edited[0]->Name), QStringLiteral("ローカルフォルダ1"));
    QCOMPARE(edited[1]->Name, "alpha");
    QCOMPARE(edited[2]->Name, "beta2");
    QCOMPARE(list.Setups[1]->Name, "beta"); // the caller's list is a copy the dialog leaves alone
}

// Alt with a label's underlined letter puts the keyboard in the label's field,
// on the page of either kind of setup.
void FmHostsTest::altLettersMoveToTheirFields()
{
    Fixture f(kTwoSetups);
    for (const char* protocol : { "FTP", "ローカルフォルダ" }) {
        f.choose(protocol);
        QCoreApplication::processEvents();
        int tried = 0;
        for (QLabel* label : f.dialog.findChildren<QLabel*>()) {
            const QString text = label->text();
            const qsizetype amp = text.indexOf(QLatin1Char('&'));
            if (!label->isVisible() || amp < 0 || !label->buddy() || !label->buddy()->isEnabled())
                continue;
            const QChar letter = text.at(amp + 1).toLower();
            f.get<QTreeWidget>("LVSetups")->setFocus();
            QTest::keyClick(&f.dialog, letter.toLatin1(), Qt::AltModifier);
            QVERIFY2(QApplication::focusWidget() == label->buddy(),
                qPrintable(QString::fromUtf8(protocol) + QStringLiteral(": ") + text));
            ++tried;
        }
        QVERIFY(tried >= 3);
    }
}

QTEST_MAIN(FmHostsTest)
#include "fmhosts_test.moc"
