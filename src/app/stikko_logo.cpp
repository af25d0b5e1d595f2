#include "app/stikko_logo.h"

#include "platform/appenv.h"
#include "platform/userdialogs.h"
#include "store/subfunction.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QtDebug>

namespace stikko {

TfrmStikko_logo* frmStikko_logo = nullptr;

TfrmStikko_logo::TfrmStikko_logo(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    frmStikko_logo = this;
    setWindowTitle(QStringLiteral("Orbindo Stikko"));
    setFixedSize(271, 272);
    setModal(true);

    imgLogo = new QLabel(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setGeometry(0, 0, 271, 271);
    imgLogo->setCursor(Qt::PointingHandCursor);
    imgLogo->installEventFilter(this);

    // Centred on the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

TfrmStikko_logo::~TfrmStikko_logo() {
    if (frmStikko_logo == this) {
        frmStikko_logo = nullptr;
    }
}

QString TfrmStikko_logo::logoPath() {
    return env::programFolder() + QString::fromLatin1(kSystemFolder) + QStringLiteral("stikko_logo.gif");
}

void TfrmStikko_logo::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TfrmStikko_logo::FormShow() {
    const QPixmap picture(logoPath());
    if (picture.isNull()) {
        // The error box first; the window then shows without a picture, and a click on the
        // empty picture area still closes it.
        qWarning("stikko: the logo picture %s could not be read", qPrintable(logoPath()));
        dialogs().showError(
            this,
            QStringLiteral("그림 파일을 읽지 못했습니다.\n%1").arg(QDir::toNativeSeparators(logoPath())));
        return;
    }
    // The picture control takes the picture's size; the window keeps its own.
    imgLogo->setPixmap(picture);
    imgLogo->resize(picture.size());
}

void TfrmStikko_logo::imgLogoClick() {
    accept();
}

bool TfrmStikko_logo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == imgLogo && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && imgLogo->rect().contains(mouse->position().toPoint())) {
            imgLogoClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QUrl webAddressUrl(const QString& address) {
    const QString text = address.trimmed();
    if (text.isEmpty()) {
        return {};
    }
    QUrl url(text, QUrl::StrictMode);
    if (url.scheme().isEmpty()) {
        // "www.example.com" and the like.
        if (text.startsWith(QLatin1Char('/')) || text.startsWith(QLatin1Char('.')) ||
            text.startsWith(QLatin1Char('~'))) {
            return {};
        }
        url = QUrl(QStringLiteral("http://") + text, QUrl::StrictMode);
    }
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto")) {
        return url.path().isEmpty() ? QUrl() : url;
    }
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
         scheme != QLatin1String("ftp")) ||
        url.host().isEmpty()) {
        return {};
    }
    return url;
}

} // namespace stikko
