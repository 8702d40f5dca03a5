// The feed server's log on stdout, written by a thread of its own: the serving thread only queues a
// line, so a reader that stops reading (or a full disk, or a terminal held by Ctrl+S) never stops the
// server. When the queue is full, lines are dropped and counted, and the count is logged once the
// output moves again.
#pragma once

// Lines queued and not yet written before new ones are dropped.
const unsigned long kLogQueuedBytesMax = 64 * 1024;

// Starts the writer. Before it starts, LogLine writes directly.
void LogStart();

// Queues one line (without its LF); never blocks on the output.
void LogLine(const char* text);

// Stops taking lines and waits up to timeoutMs for the writer to write what is queued. True when all
// was written; false when the output is stuck, and the caller must then end the process with _exit,
// since the writer may be blocked in a write for ever.
bool LogFinish(int timeoutMs);
