// Key guessing in order: the keys, the requests that try them, the reply that gives one away, and
// what the run found.
#include "bench_guess.h"

#include <stdio.h>

#include "common/contract.h"
#include "feed_request.h"

namespace {

// The key alphabet of the catalog, in the order the guessing case tries it.
const char kKeyAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
const size_t kGuessLengthMax = 4;

// The index-th key of the guessing order: every key of one character, then of two, and so on.
bool GuessKey(size_t index, std::string* key)
{
    const size_t base = sizeof kKeyAlphabet - 1;
    size_t span = base;
    size_t length = 1;
    while (index >= span) {
        index -= span;
        if (++length > kGuessLengthMax)
            return false;
        span *= base;
    }
    key->assign(length, ' ');
    for (size_t i = length; i-- > 0;) {
        (*key)[i] = kKeyAlphabet[index % base];
        index /= base;
    }
    return true;
}

} // namespace

bool NextGuessRequest(BenchRun* run, Client* c)
{
    std::string key;
    if (!run->foundKey.empty() || !GuessKey(run->guessIndex++, &key))
        return false;
    c->request = FEED_REQUEST_PREFIX + run->options.guessId + "^" + key + "\r\n";
    return true;
}

bool TakeGuessReply(BenchRun* run, const Client& c)
{
    ++run->guessesAnswered;
    if (c.reply != kNoDataReply && run->foundKey.empty()) {
        const std::string& r = c.request;
        run->foundKey = r.substr(r.find('^') + 1, r.size() - r.find('^') - 3);
        run->foundAfter = SecondsSinceStart(*run);
    }
    return !run->foundKey.empty();
}

bool GuessesExhausted(const BenchRun& run)
{
    std::string key;
    return !run.options.guessId.empty() && !GuessKey(run.guessIndex, &key);
}

int PrintGuessFigures(const BenchRun& run, double elapsed)
{
    if (!run.foundKey.empty())
        printf("guessing   key \"%s\" found after %zu guesses in %.1f s (%.0f guesses/s)\n", run.foundKey.c_str(),
               run.guessesAnswered, run.foundAfter, run.guessesAnswered / run.foundAfter);
    else
        printf("guessing   key not found: %zu guesses answered in %.1f s (%.0f/s), none opened the feed\n",
               run.guessesAnswered, elapsed, elapsed > 0 ? run.guessesAnswered / elapsed : 0.0);
    return run.foundKey.empty() ? 0 : 1;
}
