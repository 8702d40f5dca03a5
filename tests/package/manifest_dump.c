/* Prints the application manifest (resource type 24, id 1) of each program named on the command line,
   as the system's resource functions find it, between "== file" lines. Exit code 0 when every file has one. */
#include <windows.h>

#include <stdio.h>

int main(int argc, char** argv)
{
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        HMODULE module = LoadLibraryExA(argv[i], NULL, LOAD_LIBRARY_AS_DATAFILE);
        HRSRC found = module != NULL ? FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)) : NULL;
        HGLOBAL loaded = found != NULL ? LoadResource(module, found) : NULL;
        const char* text = loaded != NULL ? (const char*)LockResource(loaded) : NULL;
        printf("== %s\n", argv[i]);
        if (text == NULL) {
            printf("(no manifest)\n");
            failed = 1;
        } else {
            fwrite(text, 1, SizeofResource(module, found), stdout);
            printf("\n");
        }
        if (module != NULL)
            FreeLibrary(module);
    }
    return failed;
}
