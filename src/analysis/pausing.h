#pragma once
// Waits that keep the window alive: pending events are handled while waiting.

// Returns once more than `seconds` have passed, handling pending events in the
// meantime. Measured on a monotonic clock, so a pause across midnight (or a
// change of the system time) still ends after its duration.
void pauseSeconds(float seconds);
