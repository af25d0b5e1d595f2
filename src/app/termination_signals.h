#pragma once
// SIGTERM, SIGINT and SIGHUP turned into a Qt signal on the GUI thread: the handler only
// writes a byte into a socket pair, and a socket notifier reads it in the event loop, where
// the program can save its notes and end in order.

#include <QObject>

class QSocketNotifier;

namespace stikko {

class TerminationSignals : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // False when the socket pair or the handlers could not be set up.
    bool installed() const { return notifier_ != nullptr; }

  signals:
    void terminationRequested(int signalNumber);

  private:
    void readSignal();
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace stikko
