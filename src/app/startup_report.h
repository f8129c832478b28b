// Reports when the window has first been painted, for the start-up benchmark.
#pragma once

class QWidget;

namespace zrt::app {

// The process's resident memory in kilobytes, or -1 when it cannot be read.
long ResidentKilobytes();

// Once `window` has painted for the first time, prints "shown rss_kb=N" on
// standard output (N: the process's resident memory) and quits the application.
void ReportStartupWhenShown(QWidget* window);

}  // namespace zrt::app
