#pragma once
// The about window: a borderless picture of the product logo; a click on it closes the window.
// Also the one place that turns a configured web address into something a browser may open.

#include <QDialog>
#include <QUrl>

class QLabel;

namespace stikko {

class TfrmStikko_logo : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmStikko_logo(QWidget* owner);
    ~TfrmStikko_logo() override;

    QLabel* imgLogo = nullptr;

    // Loads the logo picture into imgLogo; a missing picture leaves the area empty.
    void FormShow();
    void imgLogoClick();

    // ./system/stikko_logo.gif in the program folder.
    static QString logoPath();

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Null while the about window does not exist.
extern TfrmStikko_logo* frmStikko_logo;

// The address as a URL to open: "http", "https" or "ftp" with a host (a bare host name gets
// "http://"), or "mailto" with an address; anything else — files, other schemes, blanks —
// gives an invalid URL, so no local program or file is ever started from a configured address.
QUrl webAddressUrl(const QString& address);

} // namespace stikko
