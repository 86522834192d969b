// Turns SIGTERM and SIGINT into an orderly close on the window thread: the handler only writes
// the signal's number into a pipe; a socket notifier on the window thread reads it and calls
// the close action, so a logout or Ctrl-C ends the program as its close box does and the
// settings are kept.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace wavelark {

class SignalCloser : public QObject {
public:
    // Installs the handlers for SIGTERM and SIGINT. Only one closer may exist at a time.
    explicit SignalCloser(std::function<void()> closeAction, QObject* parent = nullptr);
    // Restores the previous handlers.
    ~SignalCloser() override;

    bool installed() const { return m_installed; }

private:
    void readSignal();

    std::function<void()> m_closeAction;
    QSocketNotifier* m_notifier = nullptr;  // Owned by this object
    bool m_installed = false;
};

}
