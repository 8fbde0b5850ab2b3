#pragma once

#include "catalogue/banner.h"

#include <QDialog>

#include <memory>
#include <string>

class QComboBox;
class QLineEdit;

namespace Ui {
class TFmBanner;
}

namespace pw {
class ScintillaPageEditor;
} // namespace pw

namespace pw::gui {

class WebPane;

// The banner editor: network, name, kind and size, statistics and the HTML
// of one banner, with a live preview of the HTML through its own scratch
// file. Created once at start-up and kept for the whole run. OK checks the
// fields and stores them into the banner; Cancel leaves it as it was.
class TFmBanner : public QDialog {
    Q_OBJECT
public:
    explicit TFmBanner(QWidget* parent = nullptr);
    ~TFmBanner() override;

    // What the checks compare with and where the preview goes; set before
    // LoadBanner.
    // The preview is scratch file 3 of `scratch`.
    void setCatalogue(const BannerList* banners, const NetworkList* networks);

    // Puts a banner into the fields (the dialog does not own it); shown with exec().
    void LoadBanner(TAdBanner& banner);
    TAdBanner* banner() const { return m_banner; }
    // Says how many characters of copied text Shift_JIS could not hold and
    // were written as numeric character references (0: says nothing).
    void setConvertedCount(size_t count);

    // Leaving the HTML editor: detects the network and the kind and size,
    // and shows the preview again.
    void leaveHtmlEditor();
    // The HTML editor's lines joined by CR LF, in catalogue bytes.
    std::string htmlText() const;

    ScintillaPageEditor* htmlEditor() const;
    WebPane* preview() const;

public slots:
    void accept() override;
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillNetworks();
    void setType(const QString& type);
    void showPreview(const std::string& html);

    std::unique_ptr<Ui::TFmBanner> ui;
    const BannerList* m_banners = nullptr;
    const NetworkList* m_networks = nullptr;
    TAdBanner* m_banner = nullptr;
    bool m_typeChanged = false;
    bool m_settingType = false;
};

} // namespace pw::gui
