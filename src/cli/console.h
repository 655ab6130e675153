#pragma once

// What the tool needs from the host's console and command line, one file per
// host: console_posix.cpp and console_win32.cpp.

#include <string>
#include <vector>

namespace tessapak::cli {

// The command line as UTF-8 text, whatever the host's own encoding: on Windows
// it is read as UTF-16, never through the ANSI code page.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Makes standard output and error take UTF-8 bytes as they are: no line-end
// translation, and a console that shows UTF-8.
void prepareStandardStreams();

// True when standard error is a terminal or console, the only case that gets
// progress.
bool stderrIsTerminal();

}  // namespace tessapak::cli
