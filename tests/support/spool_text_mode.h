// What the viewer's C runtime does to the spool file "Pra.vnl": the reply is written in "wt" mode and
// read back in "rt" mode, so the feed reader sees the reply through both translations.
// Portable and header-only: the feed server's tests and the feed fuzzer use it natively.
#pragma once

#include <stddef.h>

#include <string>

// The bytes of a file as an "rt" read gives them back: CR LF comes back as LF (a CR before anything
// else stays), and the first 0x1A byte ends the file.
inline std::string TextModeRead(const char* data, size_t size)
{
    std::string text;
    text.reserve(size);
    for (size_t i = 0; i < size && data[i] != '\x1A'; ++i) {
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')
            continue; // the LF that follows is kept
        text.push_back(data[i]);
    }
    return text;
}

// The bytes a "wt" write puts into the file: every LF goes out as CR LF, everything else as it is.
inline std::string TextModeWrite(const std::string& bytes)
{
    std::string file;
    file.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        if (c == '\n')
            file.push_back('\r');
        file.push_back(c);
    }
    return file;
}

// A reply as the viewer's feed reader sees it once spooled: written in "wt" mode, read in "rt" mode.
inline std::string SpooledReply(const std::string& reply)
{
    const std::string file = TextModeWrite(reply);
    return TextModeRead(file.data(), file.size());
}
