#pragma once

// The ways a run ends. Each failure prints one line on standard error in a
// single write, prefixed with the program's name, and gives the exit status 1.
// A report needs no stdio and less stack than the run it reports on.

// Ends a run that wrote to std::cout: flushes it, checks that every byte got
// out, then closes standard output, since some filesystems (NFS, quotas)
// report a lost write only at close. Returns 0, or 1 after printing
// "NAME: write error: REASON". Clear errno before the first write, so that
// REASON is that of the write that failed.
int finish(const char* name);

// "NAME: memory exhausted". Allocates nothing and needs little stack, as
// memory has just run out.
int memory_exhausted(const char* name);
