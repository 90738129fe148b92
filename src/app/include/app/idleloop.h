#pragma once
// TIdleLoop: the application's idle event on Qt. A zero-interval timer calls
// OnIdle each time the event loop has dealt with what was waiting, so input
// is handled between two calls and never during one. The handler's Done flag
// works as the toolkit's did: false asks for the next call as soon as the loop
// is idle again; true stops the calls until the next event arrives.
//
// Pacing is not done here: the device's Present waits for the display
// refresh, so a loop that draws a frame per call does not burn a core. A
// handler that had nothing to draw may ask for a pause with DelayNext.

#include <QObject>
#include <QTimer>
#include <functional>

namespace wbx {

class TIdleLoop : public QObject {
public:
    using TIdleEvent = std::function<void(bool& done)>;

    explicit TIdleLoop(QObject* parent = nullptr);
    ~TIdleLoop() override;

    // Installs the handler (Application.OnIdle := handler) and starts the calls.
    void Install(TIdleEvent handler);
    bool Installed() const { return static_cast<bool>(handler_); }
    // The next call comes no sooner than milliseconds from now (then back to 0).
    void DelayNext(int milliseconds);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Fire();

    TIdleEvent handler_;
    QTimer timer_;
    bool waitingForEvent_ = false;  // Done was true: the timer is stopped until an event comes
};

}  // namespace wbx
