#pragma once
// Dialogs that answer at once, as the test says, and remember what they were asked. The test
// environment (TestEnv) puts them in place.

#include "platform/userdialogs.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace stikko::test {

class FakeDialogs : public Dialogs {
  public:
    bool askYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    void showError(QWidget* parent, const QString& text) override;
    void showMessage(QWidget* parent, const QString& text) override;
    std::optional<QFont> chooseFont(QWidget*, const QFont& initial) override;
    std::optional<QColor> chooseColor(QWidget*, const QColor& initial) override;
    std::optional<QString> chooseSoundFile(QWidget*, const QString& current) override;

    bool yes = false;
    std::optional<QFont> font;        // nothing = cancel
    std::optional<QColor> color;      // nothing = cancel
    std::optional<QString> soundFile; // nothing = cancel
    // "caption|text" of every question; errors and messages as shown.
    QStringList questions, errors, messages;
    // The window each question, error and message was shown over, in turn (null for none).
    QList<QPointer<QWidget>> shownOver;
    QFont fontShown;
    QColor colorShown;
    QString soundFileShown;
    int fontAsked = 0;
    int colorAsked = 0;
    int soundFileAsked = 0;
};

} // namespace stikko::test
