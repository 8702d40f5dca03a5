// The log writer thread and its bounded queue.
#include "server_log.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "common/text.h"

namespace {

const int kGatherMs = 3;

std::mutex gLock;
std::condition_variable gWake;  // a line was queued, or the end came
std::condition_variable gIdle;  // the writer wrote all it had
std::string gQueued;
bool gWriting = false;
bool gEnding = false;
bool gGone = false;             // the output failed (its reader left): nothing more is written
unsigned long gDropped = 0;
bool gStarted = false;
std::thread gWriter;

// Writes with the descriptor's own blocking write, not stdio: a writer blocked for ever must hold no
// lock that the process's exit would wait for.
bool WriteAll(const char* data, size_t size)
{
    while (size > 0) {
#ifdef _WIN32
        const int n = _write(1, data, (unsigned)(size > 65536 ? 65536 : size));
#else
        const ssize_t n = write(1, data, size);
        if (n < 0 && errno == EINTR)
            continue;
#endif
        if (n <= 0)
            return false;
        data += n;
        size -= (size_t)n;
    }
    return true;
}

void WriterLoop()
{
    std::unique_lock<std::mutex> hold(gLock);
    for (;;) {
        gWake.wait(hold, [] { return !gQueued.empty() || gEnding; });
        if (gQueued.empty())
            break;
        std::string batch;
        batch.swap(gQueued);
        gWriting = true;
        const bool gone = gGone;
        const bool ending = gEnding;
        hold.unlock();
        const bool written = gone || WriteAll(batch.data(), batch.size());
        // Lines gather for a moment before the next write: a busy server then wakes this thread a few
        // hundred times a second instead of once a request, and a line still shows within milliseconds.
        if (!ending)
            std::this_thread::sleep_for(std::chrono::milliseconds(kGatherMs));
        hold.lock();
        gWriting = false;
        if (!written)
            gGone = true;
        // Said once per stall, when the output moves again: a stuck reader could not be told anyway.
        if (gDropped > 0 && !gGone) {
            char notice[128];
            FormatText(notice, sizeof notice, "feed-server: %lu log lines dropped while the output was not read\n",
                       gDropped);
            gQueued += notice;
            gDropped = 0;
        }
        if (gQueued.empty())
            gIdle.notify_all();
    }
    gIdle.notify_all();
}

} // namespace

void LogStart()
{
    gStarted = true;
    gWriter = std::thread(WriterLoop);
}

void LogLine(const char* text)
{
    if (!gStarted) {
        fputs(text, stdout);
        fputc('\n', stdout);
        fflush(stdout);
        return;
    }
    const size_t length = strlen(text);
    std::lock_guard<std::mutex> hold(gLock);
    if (gEnding)
        return;
    if (gQueued.size() + length + 1 > kLogQueuedBytesMax) {
        ++gDropped;
        return;
    }
    gQueued.append(text, length);
    gQueued += '\n';
    gWake.notify_one();
}

bool LogFinish(int timeoutMs)
{
    if (!gStarted)
        return true;
    std::unique_lock<std::mutex> hold(gLock);
    gEnding = true;
    gWake.notify_one();
    const bool drained = gIdle.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                        [] { return gQueued.empty() && !gWriting; });
    hold.unlock();
    if (!drained)
        return false;
    gWriter.join();
    gStarted = false;
    return true;
}
