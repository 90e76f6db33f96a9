#pragma once

// Caps the allocator's arenas at two, unless MALLOC_ARENA_MAX says otherwise. Each worker thread (Qt's
// parallel raster fills, the thread pool, the start-up scans) would otherwise get an arena of its own, whose
// pages stay resident long after the thread went idle; this application's few short tasks share two well.
// Call before any thread starts.
void limitAllocatorArenas();

// The global thread pool keeps at most two threads, and lets an idle one go after two seconds rather than
// thirty: its work here (image conversions while painting, reading a feed, a settings file) comes in short
// bursts, and every idle thread holds its stack's touched pages.
void limitPooledThreads();

// Hands the allocator's free pages back to the system, on a pooled thread: after a window closes, what it
// freed would otherwise stay resident.
void returnFreedMemory();

// Ends the global pool's threads now, once their work is done, rather than in the pool's destruction after
// main().
void endPooledThreads();

// At the process's exit, waits (two seconds at most) until the threads Qt ends as its globals go (the
// pool's, the X event reader's, the D-Bus connection's) have left the system's task list. They are
// detached: whoever ended them heard them finish before they unwound, and a thread unwinding while the
// exit's last checks suspend every thread (a leak checker's) crashes those checks. Call before the first
// thread starts, so that the wait comes after those globals' destruction.
void waitForEndingThreadsAtExit();
