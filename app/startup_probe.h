#pragma once

class QWidget;

namespace orv {

// For measuring start-up only: when ORV_STARTUP_PROBE holds the launch time
// (nanoseconds since the epoch, as `date +%s%N` prints it), prints how long
// the window took to be painted on screen and ends the program. Otherwise
// does nothing.
void probeStartup(QWidget& window);

} // namespace orv
