#include "support/fake_dialogs.h"

namespace stikko::test {

namespace {
QWidget* windowOf(QWidget* parent) {
    return parent ? parent->window() : nullptr;
}
} // namespace

bool FakeDialogs::askYesNo(QWidget* parent, const QString& caption, const QString& text) {
    shownOver << windowOf(parent);
    questions << caption + QLatin1Char('|') + text;
    return yes;
}

void FakeDialogs::showError(QWidget* parent, const QString& text) {
    shownOver << windowOf(parent);
    errors << text;
}

void FakeDialogs::showMessage(QWidget* parent, const QString& text) {
    shownOver << windowOf(parent);
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
