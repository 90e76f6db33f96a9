#pragma once

// Lowers the calling thread's scheduling priority below the rest of the process, for background work
// that should yield to the interface on a busy machine. Does nothing where the system refuses.
void lowerCurrentThreadPriority();
