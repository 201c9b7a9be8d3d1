#pragma once

// Messages for the two ways a run can fail. Each prints one line on standard
// error, prefixed with the program's name, and returns the exit status 1.

// "NAME: write error: REASON", REASON being strerror(err); without it when
// err is 0, since then no failed call left a reason.
int write_error(const char* name, int err);

// "NAME: memory exhausted". Allocates nothing, as memory has just run out.
int memory_exhausted(const char* name);
