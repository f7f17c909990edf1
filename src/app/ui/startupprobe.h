#pragma once
// Start-up timing for the benchmark: with VELMORA_STARTUP_PROBE set, the
// program prints on standard output, as "EVENT <nanoseconds>" on the
// system's monotonic clock (the clock of std::chrono::steady_clock, which
// another process can compare with its own):
//   cover   the start window is first exposed on screen
//   warm    the browser engine has finished warming up (when it does)
//   search  the window that "文献检索下载" opens is first exposed
// and then ends the program. "cover" ends after the start window;
// "search:MS" presses "文献检索下载" MS milliseconds after the start window
// was shown and ends after the search window.
class fCover;

void InstallStartupProbe(fCover *cover);
// Prints "EVENT <nanoseconds>" now, when the probe is on.
void StartupProbeMark(const char *event);
