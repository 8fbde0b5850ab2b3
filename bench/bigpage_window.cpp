// The real window opening a big page, driven by bench/bigpage_window.py.
//
//   bench_bigpage_window SETTINGS FOLDER PAGE [banner]
//
// Writes into SETTINGS a main settings file with one local-folder setup that
// shows FOLDER (and with "banner" a catalogue of one image banner, which the
// preview pane shows from the start, web engine and all), builds the main window as the program does, shows it,
// connects the setup and selects the entry PAGE of the file list, then talks
// with the driver over its standard streams, one line each way:
//   ready pid=P             the window is up, the page not yet open
//   < open                  opens the page as a double-click in LVFiles does,
//   opened ms=M sync=S t0=T and answers once the editor's and the ad tree's
//                           viewports have each painted after the open and the
//                           frame went out (M, from the call; S, the part
//                           spent inside the call; T, CLOCK_MONOTONIC seconds
//                           at the call)
//   < keys                  20 Page Downs, Ctrl+End, then 50 typed characters;
//   keys pagedown=A end=B type=C   each the longest time from a key event to
//                           the end of the editor's next paint
//   < quit                  closes the window without questions and ends.
// Every failure is one line "error TEXT" and exit status 1.
#include "catalogue/bannerstore.h"
#include "gui/common/qttexts.h"
#include "gui/documents/documentsarea.h"
#include "gui/documents/documenttab.h"
#include "gui/documents/scintillapageeditor.h"
#include "gui/mainwindow.h"
#include "gui/sites/sitesarea.h"
#include "net/curlftpclient.h"
#include "settings/settingsfile.h"
#include "settings/settingsfolder.h"
#include "sites/setup.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QFontDatabase>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QSocketNotifier>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace pw;
using namespace pw::gui;

namespace {

[[noreturn]] void Fail(const std::string& text)
{
    std::printf("error %s\n", text.c_str());
    std::fflush(stdout);
    std::_Exit(1);
}

void Say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

double MonotonicSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Counts the paint events of the widgets it watches.
class PaintWatch : public QObject {
public:
    void watch(QWidget* widget)
    {
        widget->installEventFilter(this);
        m_watched.push_back(widget);
    }
    void reset() { m_painted.clear(); }
    bool allPainted() const
    {
        return std::all_of(m_watched.begin(), m_watched.end(),
            [this](QObject* w) { return std::find(m_painted.begin(), m_painted.end(), w) != m_painted.end(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint
            && std::find(m_painted.begin(), m_painted.end(), watched) == m_painted.end())
            m_painted.push_back(watched);
        return false;
    }

private:
    std::vector<QObject*> m_watched;
    std::vector<QObject*> m_painted;
};

// Runs the event loop until every watched widget painted, then once more so
// that the frame is on the screen; false after 60 s.
bool WaitForPaint(const PaintWatch& watch)
{
    QElapsedTimer limit;
    limit.start();
    while (!watch.allPainted()) {
        if (limit.elapsed() > 60000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    QCoreApplication::processEvents();
    QGuiApplication::sync();
    return true;
}

void WriteSettings(const std::string& settings, const std::string& folder)
{
    std::filesystem::create_directories(settings);
    TIniList store;
    std::vector<std::unique_ptr<TSetup>> setups;
    auto setup = std::make_unique<TSetup>();
    setup->Name = "bench";
    setup->Kind = skLocal;
    setup->IniPath = folder;
    setup->LastPath = folder;
    setup->LastLoginPath = true;
    setup->RootURL = "http://example.org/";
    setups.push_back(std::move(setup));
    SaveSetups(store, setups, 0);
    if (const Status saved = SaveSettingsFile(store, settings, kMainSettingsFile); !saved)
        Fail(saved.error);
}

void WriteBanner(const std::string& settings)
{
    BannerList banners;
    auto banner = std::make_unique<TAdBanner>();
    banner->Number = 1;
    banner->SpaceName = "banner1000";
    banner->BannerHTML = "<a href=\"http://px.a8.net/svt/ejp?a8mat=100000\"><img width=\"468\" height=\"60\" "
                         "src=\"http://img.example.net/0.gif\"></a>";
    banners.Rows.push_back(std::move(banner));
    TIniList ads;
    if (const Status saved = SaveBanners(banners, ads, settings); !saved)
        Fail(saved.error);
}

class Bench : public QObject {
public:
    Bench(TMainForm& form, QString page)
        : m_form(form)
        , m_page(std::move(page))
    {
    }

    void start()
    {
        auto* connect = m_form.findChild<QToolButton*>(QStringLiteral("TBConnect"));
        if (!connect || !connect->isEnabled())
            Fail("the setup cannot be connected");
        connect->click();
        auto* files = m_form.findChild<QTreeView*>(QStringLiteral("LVFiles"));
        QAbstractItemModel* model = files->model();
        bool found = false;
        for (int row = 0; row < model->rowCount() && !found; ++row) {
            const QModelIndex index = model->index(row, 0);
            if (index.data().toString() == m_page) {
                files->selectionModel()->setCurrentIndex(
                    index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                found = true;
            }
        }
        if (!found)
            Fail("the file list does not show the page");
        // Let the window settle before the driver's clock starts.
        QCoreApplication::processEvents();
        Say("ready pid=" + std::to_string(::getpid()));
    }

    void command(const std::string& line)
    {
        if (line == "open")
            open();
        else if (line == "keys")
            keys();
        else if (line == "quit")
            QCoreApplication::exit(0);
        else
            Fail("unknown command " + line);
    }

private:
    void open()
    {
        const double t0 = MonotonicSeconds();
        QElapsedTimer clock;
        clock.start();
        m_form.sites()->openEntry();
        const double sync = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        DocumentTab* tab = m_form.documents()->activeTab();
        if (!tab)
            Fail("the page did not open");
        // The tab was made inside the call and has not painted yet.
        m_tab = tab;
        m_paints.watch(tab->editor()->viewport());
        m_paints.watch(tab->adTreeView()->viewport());
        if (!WaitForPaint(m_paints))
            Fail("the page tab never painted");
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        Say("opened ms=" + std::to_string(ms) + " sync=" + std::to_string(sync) + " t0=" + std::to_string(t0)
            + " nodes=" + std::to_string(tab->adTree().NodeCount()));
    }

    // The longest time from sending a key to the end of the editor's next paint.
    double keyFrame(int key, Qt::KeyboardModifiers modifiers, const QString& text = {})
    {
        ScintillaPageEditor* editor = m_tab->editor();
        PaintWatch watch;
        watch.watch(editor->viewport());
        QElapsedTimer clock;
        clock.start();
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QCoreApplication::sendEvent(editor, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QCoreApplication::sendEvent(editor, &release);
        if (!WaitForPaint(watch))
            Fail("the editor never painted after a key");
        return static_cast<double>(clock.nsecsElapsed()) / 1e6;
    }

    void keys()
    {
        m_tab->editor()->setFocus();
        QCoreApplication::processEvents();
        double pageDown = 0;
        for (int i = 0; i < 20; ++i)
            pageDown = std::max(pageDown, keyFrame(Qt::Key_PageDown, Qt::NoModifier));
        const double end = keyFrame(Qt::Key_End, Qt::ControlModifier);
        double typing = 0;
        const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxy");
        for (int i = 0; i < 50; ++i) {
            const QChar c = letters[i % letters.size()];
            typing = std::max(typing, keyFrame(Qt::Key_A + (c.unicode() - 'a'), Qt::NoModifier, QString(c)));
        }
        if (!m_tab->editor()->PageModified())
            Fail("typing did not change the page");
        Say("keys pagedown=" + std::to_string(pageDown) + " end=" + std::to_string(end)
            + " type=" + std::to_string(typing));
    }

    TMainForm& m_form;
    QString m_page;
    DocumentTab* m_tab = nullptr;
    PaintWatch m_paints;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4 && !(argc == 5 && std::string(argv[4]) == "banner")) {
        std::fprintf(stderr, "usage: bench_bigpage_window SETTINGS FOLDER PAGE [banner]\n");
        return 2;
    }
    const std::string settings = argv[1];
    WriteSettings(settings, argv[2]);
    if (argc == 5)
        WriteBanner(settings);

    // As the program starts.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagewick"));
    QApplication::setApplicationDisplayName(QStringLiteral("Pagewick(V1.1)"));
    pw::gui::InstallJapaneseQtTexts(app);
    if (!QFontDatabase::writingSystems(QApplication::font().family()).contains(QFontDatabase::Japanese)
        && QFontDatabase::families().contains(QStringLiteral("IPAGothic"))) {
        QFont font(QStringLiteral("IPAGothic"));
        font.setPointSizeF(QApplication::font().pointSizeF());
        QApplication::setFont(font);
    }
    std::string scratch;
    if (const Status ready = PrepareScratchFolder(settings, scratch); !ready)
        Fail(ready.error);
    const QString folder = QString::fromStdString(settings);
    TMainForm form(folder, QString::fromStdString(scratch), net::CurlFtpClientFactory());
    form.startUp();
    if (form.quitRequested())
        Fail("the window's start-up failed");
    form.show();

    Bench bench(form, QString::fromLocal8Bit(argv[3]));
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    std::string pending;
    QObject::connect(&input, &QSocketNotifier::activated, &bench, [&] {
        char chunk[256];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            QCoreApplication::exit(0);
            return;
        }
        pending.append(chunk, static_cast<size_t>(got));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            bench.command(line);
        }
    });
    QMetaObject::invokeMethod(
        &bench, [&bench] { bench.start(); }, Qt::QueuedConnection);
    const int code = QApplication::exec();
    form.endWithoutQuestions();
    form.shutDown();
    return code;
}
