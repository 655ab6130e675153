#pragma once

namespace tessapak::app {

// Registers, once per process, what assistive technology sees of the two
// windows and their windowless chrome: each window is a window, a
// ChromeImage a push button named by its tool tip, a LinkLabel a link named
// by its caption; pressing either is its click.
void installAccessibleChrome();

}  // namespace tessapak::app
