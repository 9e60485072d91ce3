// Pacing of the board protocols. Every wait between transfers goes through
// sleepMs so that tests can run slow protocols in a fraction of the time.
#pragma once

namespace kv {

// Sleeps for `ms` milliseconds times the pacing scale.
void sleepMs(int ms);

// Scale applied to every sleepMs (1.0 by default; 0 makes them return at once).
void setPacingScale(double scale);
double pacingScale();

}  // namespace kv
