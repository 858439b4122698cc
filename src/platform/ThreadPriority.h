// Threads that work for the plug-in in the background (hashing, inflating,
// writing packs) yield the processor to the browser's own thread: on a
// machine with few cores they would otherwise keep it from running the
// page and the plug-in's loop for milliseconds at a time.
#pragma once

namespace qel {

// Lowers the calling thread's scheduling priority below the process's
// others. Best effort: a refusal by the system changes nothing.
void RunInBackground();

}  // namespace qel
