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

// Waits for the global pool's work and ends its threads, until the system has them gone. For the exit:
// left to the pool's own destruction after main(), they would still be unwinding while the process's
// last checks (a leak checker suspending every thread) run.
void endPooledThreads();
