#include "app/idleloop.h"

#include <QCoreApplication>
#include <QEvent>

namespace wbx {

TIdleLoop::TIdleLoop(QObject* parent) : QObject(parent) {
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { Fire(); });
}

TIdleLoop::~TIdleLoop() {
    if (waitingForEvent_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void TIdleLoop::Install(TIdleEvent handler) {
    handler_ = std::move(handler);
    if (handler_) {
        timer_.start(0);
    } else {
        timer_.stop();
    }
}

void TIdleLoop::DelayNext(int milliseconds) {
    if (handler_ && !waitingForEvent_) timer_.start(milliseconds);
}

void TIdleLoop::Fire() {
    if (!handler_) return;
    if (timer_.interval() != 0) timer_.start(0);  // a delay lasts for one call
    bool done = true;
    handler_(done);
    if (done && !waitingForEvent_ && QCoreApplication::instance()) {
        // Nothing more to do until something happens: any event of the
        // application starts the calls again.
        timer_.stop();
        waitingForEvent_ = true;
        QCoreApplication::instance()->installEventFilter(this);
    }
}

bool TIdleLoop::eventFilter(QObject* watched, QEvent* event) {
    if (waitingForEvent_ && event->type() != QEvent::Timer) {
        waitingForEvent_ = false;
        QCoreApplication::instance()->removeEventFilter(this);
        if (handler_) timer_.start(0);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace wbx
