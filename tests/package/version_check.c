/* Prints the version resource of each file named on the command line and checks it against the
   expected version (first argument): file and product version strings, the fixed file version, and
   the product name. Exit code 0 when every file has them. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

static const char* Query(void* block, const char* name)
{
    char path[128];
    char* value = NULL;
    UINT length = 0;
    snprintf(path, sizeof path, "\\StringFileInfo\\040904E4\\%s", name);
    if (!VerQueryValueA(block, path, (void**)&value, &length) || value == NULL)
        return "";
    return value;
}

int main(int argc, char** argv)
{
    int failed = 0;
    if (argc < 3) {
        fprintf(stderr, "usage: version_check VERSION FILE...\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeA(argv[i], &ignored);
        static char block[65536];
        VS_FIXEDFILEINFO* fixed = NULL;
        UINT fixedLength = 0;
        if (size == 0 || size > sizeof block || !GetFileVersionInfoA(argv[i], 0, size, block) ||
            !VerQueryValueA(block, "\\", (void**)&fixed, &fixedLength)) {
            printf("FAIL %s: no version resource\n", argv[i]);
            failed = 1;
            continue;
        }
        char numbers[64];
        snprintf(numbers, sizeof numbers, "%lu.%lu.%lu", (unsigned long)HIWORD(fixed->dwFileVersionMS),
                 (unsigned long)LOWORD(fixed->dwFileVersionMS), (unsigned long)HIWORD(fixed->dwFileVersionLS));
        const char* file = Query(block, "FileVersion");
        const char* product = Query(block, "ProductVersion");
        const char* name = Query(block, "ProductName");
        const char* description = Query(block, "FileDescription");
        int ok = strcmp(file, argv[1]) == 0 && strcmp(product, argv[1]) == 0 && strcmp(numbers, argv[1]) == 0 &&
                 strcmp(name, "Products") == 0 && description[0] != '\0';
        printf("%s %s: %s, file %s, product %s, fixed %s, \"%s\"\n", ok ? "ok" : "FAIL", argv[i], name, file, product,
               numbers, description);
        failed |= !ok;
    }
    return failed;
}
