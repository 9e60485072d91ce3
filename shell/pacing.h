// Pacing of the board protocols. Every wait between transfers goes through
// sleepMs so that tests can run slow protocols in a fraction of the time.
#pragma once

namespace kv {

// Sleeps for `ms` milliseconds times the pacing scale. 0 is the zero-length
// sleep of the polling loops: it gives the processor up for a moment.
void sleepMs(int ms);

// Scale applied to every sleepMs (1.0 by default; 0 leaves only a yield).
void setPacingScale(double scale);
double pacingScale();

}  // namespace kv
