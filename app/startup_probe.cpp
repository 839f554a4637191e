#include "app/startup_probe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace orv {

namespace {

class FirstPaintWatcher : public QObject {
public:
    FirstPaintWatcher(long long launchNs, QObject* parent) : QObject(parent), launchNs_(launchNs) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Report once the paint that is under way has reached the screen.
            QTimer::singleShot(0, this, [this] { report(); });
        }
        return false;
    }

private:
    void report() const {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
        std::fprintf(stderr, "orvconverter: window shown %.1f ms after launch\n",
                     double(ns - launchNs_) / 1e6);
        QCoreApplication::quit();
    }

    long long launchNs_;
    bool seen_ = false;
};

} // namespace

void probeStartup(QWidget& window) {
    const char* launch = std::getenv("ORV_STARTUP_PROBE");
    if (launch == nullptr || *launch == '\0')
        return;
    window.installEventFilter(new FirstPaintWatcher(std::atoll(launch), &window));
}

} // namespace orv
