// Reading one of the catalog's hand-edited text files: regular files only, read whole and cut into
// lines, whether they were saved with LF or CR LF line ends.
#pragma once

#include <string>
#include <vector>

// Catalog files are small; anything bigger is a mistake (a wrong directory, a binary file).
const long kCatalogFileMax = 16L * 1024 * 1024;

// Reads a whole file and cuts it into lines: LF ends a line, a CR before it is dropped, and a UTF-8
// byte order mark at the start is skipped. Only a regular file is read: a FIFO, a device or a
// directory is refused before anything is read from it. False, with the reason in *why, when the
// file cannot be read or is larger than kCatalogFileMax.
bool ReadTextLines(const std::string& path, std::vector<std::string>* lines, std::string* why);
