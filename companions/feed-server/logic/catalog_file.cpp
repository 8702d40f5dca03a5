// Reading one catalog text file whole, after making sure it is a regular file, and cutting it into
// lines; the checks on a FIFO or a device come first so that a start never hangs on one.
#include "catalog_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Opens a file for reading only when it is a regular file: a FIFO would block the open or the first
// read for ever, a device could be anything, a directory is a mistake. Checked by name first, so that
// nothing else is opened at all, then on the open descriptor, in case the name changed in between.
FILE* OpenRegularFile(const std::string& path, std::string* why)
{
    struct stat byName;
    if (stat(path.c_str(), &byName) != 0) {
        *why = std::string("cannot be opened: ") + strerror(errno);
        return nullptr;
    }
    if (!S_ISREG(byName.st_mode)) {
        *why = S_ISDIR(byName.st_mode) ? "is a directory, not a file" : "is not a regular file (a FIFO or a device)";
        return nullptr;
    }
#ifdef _WIN32
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *why = std::string("cannot be opened: ") + strerror(errno);
        return nullptr;
    }
    const int fd = _fileno(file);
#else
    // Non-blocking, so that even a FIFO put there since the check cannot hold the open.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *why = std::string("cannot be opened: ") + strerror(errno);
        return nullptr;
    }
#endif
    struct stat opened;
    if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        *why = "is not a regular file (a FIFO or a device)";
#ifdef _WIN32
        fclose(file);
#else
        close(fd);
#endif
        return nullptr;
    }
#ifndef _WIN32
    // A regular file never blocks; reads go back to the ordinary kind.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* file = fdopen(fd, "rb");
    if (file == nullptr) {
        *why = std::string("cannot be opened: ") + strerror(errno);
        close(fd);
        return nullptr;
    }
#endif
    return file;
}

} // namespace

bool ReadTextLines(const std::string& path, std::vector<std::string>* lines, std::string* why)
{
    FILE* file = OpenRegularFile(path, why);
    if (file == nullptr)
        return false;
    std::string text;
    char chunk[4096];
    size_t n = 0;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, n);
        if ((long)text.size() > kCatalogFileMax) {
            fclose(file);
            *why = "is larger than 16 MiB";
            return false;
        }
    }
    const bool readError = ferror(file) != 0;
    fclose(file);
    if (readError) {
        *why = "cannot be read";
        return false;
    }
    size_t start = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        start = 3;
    lines->clear();
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        size_t stop = end;
        if (stop > start && text[stop - 1] == '\r')
            --stop;
        lines->push_back(text.substr(start, stop - start));
        start = end + 1;
    }
    return true;
}
