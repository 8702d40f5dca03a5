// The log writer thread and its bounded queue, and the request line.
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

#include "common/text.h"
#include "feed_catalog.h"
#include "feed_text.h"

namespace {

const int kGatherMs = 3;

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

void WriterLoop(ServerLog* log)
{
    std::unique_lock<std::mutex> hold(log->lock);
    for (;;) {
        log->wake.wait(hold, [log] { return !log->queued.empty() || log->ending; });
        if (log->queued.empty())
            break;
        std::string batch;
        batch.swap(log->queued);
        log->writing = true;
        const bool gone = log->gone;
        const bool ending = log->ending;
        hold.unlock();
        const bool written = gone || WriteAll(batch.data(), batch.size());
        // Lines gather for a moment before the next write: a busy server then wakes this thread a few
        // hundred times a second instead of once a request, and a line still shows within milliseconds.
        if (!ending)
            std::this_thread::sleep_for(std::chrono::milliseconds(kGatherMs));
        hold.lock();
        log->writing = false;
        if (!written)
            log->gone = true;
        // Said once per stall, when the output moves again: a stuck reader could not be told anyway.
        if (log->dropped > 0 && !log->gone) {
            char notice[128];
            FormatText(notice, sizeof notice, "feed-server: %lu log lines dropped while the output was not read\n",
                       log->dropped);
            log->queued += notice;
            log->dropped = 0;
        }
        if (log->queued.empty())
            log->idle.notify_all();
    }
    log->idle.notify_all();
}

} // namespace

void LogStart(ServerLog* log)
{
    log->started = true;
    log->writer = std::thread(WriterLoop, log);
}

void LogLine(ServerLog* log, const char* text)
{
    if (!log->started) {
        fputs(text, stdout);
        fputc('\n', stdout);
        fflush(stdout);
        return;
    }
    const size_t length = strlen(text);
    std::lock_guard<std::mutex> hold(log->lock);
    if (log->ending)
        return;
    if (log->queued.size() + length + 1 > kLogQueuedBytesMax) {
        ++log->dropped;
        return;
    }
    log->queued.append(text, length);
    log->queued += '\n';
    log->wake.notify_one();
}

bool LogFinish(ServerLog* log, int timeoutMs)
{
    if (!log->started)
        return true;
    std::unique_lock<std::mutex> hold(log->lock);
    log->ending = true;
    log->wake.notify_one();
    const bool drained = log->idle.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                            [log] { return log->queued.empty() && !log->writing; });
    hold.unlock();
    if (!drained)
        return false;
    log->writer.join();
    log->started = false;
    return true;
}

void LogRequest(ServerLog* log, const std::string& peer, const char* kind, const std::string& account,
                const char* result, size_t bytes)
{
    const auto now = std::chrono::system_clock::now();
    const time_t seconds = std::chrono::system_clock::to_time_t(now);
    const int millis =
        (int)(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    if (seconds != log->stampSeconds) {
        log->stampSeconds = seconds;
        const struct tm* utc = gmtime(&seconds);
        if (utc == nullptr || strftime(log->stamp, sizeof log->stamp, "%Y-%m-%dT%H:%M:%S", utc) == 0)
            log->stamp[0] = '\0';
    }
    const std::string who = LogSafe(account.data(), account.size(), kAccountIdMax);
    char line[256];
    FormatText(line, sizeof line, "%s.%03dZ %s %s %s %s %lu", log->stamp, millis, peer.c_str(), kind, who.c_str(),
               result, (unsigned long)bytes);
    LogLine(log, line);
}
