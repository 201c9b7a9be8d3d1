#pragma once

#include <cstddef>

// The few system calls behind the reports (report.cpp), one file for each
// system: report_posix.cpp and report_windows.cpp.

// Puts standard output and standard error as the program needs them before
// anything is written (on Windows: binary mode, so that a line ends in LF).
void ready_streams();

// Writes the count texts, joined, to standard error in a single write, so
// that the line arrives whole. Needs neither stdio nor more than a little
// stack.
void write_line(const char* const* texts, std::size_t count);

// The reason that the last failed write or close gives, in the words of
// Linux's strerror, so that one script can read the reports of both
// systems; null when none is recorded.
const char* failure_reason();

// Forgets any error left over from the program's start.
void clear_failure();

// Closes standard output's descriptor; false when the close fails.
bool close_output();

// Ends the process at once with this status, running nothing more.
[[noreturn]] void quit(int status);
