// Loading libraries and starting programs from the program's own folder only, so that a folder the
// program is started in cannot plant a library or a program of the same name.
#pragma once

#include <stddef.h>

// Restricts where the process finds libraries to its own folder and System32; the current folder
// and PATH are left out. Call first in WinMain. SetDefaultDllDirectories is looked up at run time,
// since a Windows 7 without its update lacks it.
void RestrictLibrarySearch();

// The full path of file in the folder of this program. False when it does not fit path.
bool PathBesideProgram(char* path, size_t capacity, const char* file);
