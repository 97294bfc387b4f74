// Time marks along the radio's start-up, for the benchmark's breakdown. A
// bench build of the same sources (bench/) defines
// TAVOLIN_STARTUP_MARKS and links the recorder; in the program itself the
// marks are nothing at all.
#pragma once

#ifdef TAVOLIN_STARTUP_MARKS
void startup_mark(const char *step);
#define STARTUP_MARK(step) startup_mark(step)
#else
#define STARTUP_MARK(step) static_cast<void>(0)
#endif
