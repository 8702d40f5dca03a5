// The feed server's log on stdout, written by a thread of its own: the serving thread only queues a
// line, so a reader that stops reading (or a full disk, or a terminal held by Ctrl+S) never stops the
// server. When the queue is full, lines are dropped and counted, and the count is logged once the
// output moves again.
#pragma once

#include <stddef.h>
#include <time.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// Lines queued and not yet written before new ones are dropped.
const unsigned long kLogQueuedBytesMax = 64 * 1024;

// The log's state, one for the process, owned by main and handed to what logs. The queue and its
// flags are shared with the writer thread under lock; the stamp belongs to the serving thread.
struct ServerLog {
    std::mutex lock;
    std::condition_variable wake;  // a line was queued, or the end came
    std::condition_variable idle;  // the writer wrote all it had
    std::string queued;
    bool writing = false;
    bool ending = false;
    bool gone = false;             // the output failed (its reader left): nothing more is written
    unsigned long dropped = 0;
    bool started = false;
    std::thread writer;
    // The request lines' second, as text: made once per second, not once per line.
    time_t stampSeconds = -1;
    char stamp[32] = "";
};

// Starts the writer. Before it starts, LogLine writes directly.
void LogStart(ServerLog* log);

// Queues one line (without its LF); never blocks on the output.
void LogLine(ServerLog* log, const char* text);

// Queues the line of one request: time (UTC, to the millisecond), client, kind, account, result and
// the reply bytes sent.
void LogRequest(ServerLog* log, const std::string& peer, const char* kind, const std::string& account,
                const char* result, size_t bytes);

// Stops taking lines and waits up to timeoutMs for the writer to write what is queued. True when all
// was written; false when the output is stuck, and the caller must then end the process with _exit,
// since the writer may be blocked in a write for ever.
bool LogFinish(ServerLog* log, int timeoutMs);
