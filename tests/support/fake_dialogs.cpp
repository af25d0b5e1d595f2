#include "support/fake_dialogs.h"

namespace stikko::test {

bool FakeDialogs::askYesNo(QWidget*, const QString& caption, const QString& text) {
    questions << caption + QLatin1Char('|') + text;
    return yes;
}

void FakeDialogs::showError(QWidget*, const QString& text) {
    errors << text;
}

void FakeDialogs::showMessage(QWidget*, const QString& text) {
    messages << text;
}

std::optional<QFont> FakeDialogs::chooseFont(QWidget*, const QFont& initial) {
    ++fontAsked;
    fontShown = initial;
    return font;
}

std::optional<QColor> FakeDialogs::chooseColor(QWidget*, const QColor& initial) {
    ++colorAsked;
    colorShown = initial;
    return color;
}

std::optional<QString> FakeDialogs::chooseSoundFile(QWidget*, const QString& current) {
    ++soundFileAsked;
    soundFileShown = current;
    return soundFile;
}

} // namespace stikko::test
