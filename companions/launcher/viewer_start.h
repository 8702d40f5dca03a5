// Where and how the launcher starts the viewer: the Vn_Products.exe beside the launcher, in a
// writable per-user working folder, with the launcher's folder first on the search path it inherits.
#pragma once

#include <stddef.h>

// Puts the launcher's own folder first on this process's search path, which every viewer it starts
// inherits; the viewer starts the companion browser by bare name through the shell's search. Call
// once, at start. False when the path is left as it was (see BuildViewerSearchPath).
bool PrepareViewerSearchPath();

// Starts the viewer with argument, without waiting for it. report gets one sentence for the status
// line: the process and folder started, or what failed and the system's reason.
bool StartViewer(const char* argument, char* report, size_t capacity);
