#pragma once

// Caps the allocator's arenas at two, unless MALLOC_ARENA_MAX says otherwise. Each worker thread (Qt's
// parallel raster fills, the thread pool, the start-up scans) would otherwise get an arena of its own, whose
// pages stay resident long after the thread went idle; this application's few short tasks share two well.
// Call before any thread starts.
void limitAllocatorArenas();
