// How the lookup DLLs are bound: at load time, from the program's own folder, under the bare names only.
#include "companions/category/category_lookup.h"
#include "companions/countries/money_lookup.h"

#include <windows.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

typedef int(__stdcall* IdToOrdFn)(int);
typedef const char*(__stdcall* TextFn)(int);

struct ExportedName {
    const char* dll;
    const char* name;       // as the viewer resolves it
    const char* decorated;  // the __stdcall symbol, which must not be exported
};

const ExportedName kExports[] = {
    {"Vn_Category.dll", "func32_Get_IDToOrd", "func32_Get_IDToOrd@4"},
    {"Vn_Category.dll", "func32_Get_FullName", "func32_Get_FullName@4"},
    {"Vn_Countries.dll", "func32_Get_MoneyName", "func32_Get_MoneyName@4"},
    {"Vn_Countries.dll", "func32_Get_MoneyNameL", "func32_Get_MoneyNameL@4"},
};

// GetProcAddress's FARPROC to a typed pointer; void (*)() is the one type GCC lets any function
// pointer pass through without a cast warning.
template <typename Fn> Fn AsFunction(FARPROC proc)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

std::string FolderOf(HMODULE module)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return std::string();
    std::string folder(path, length);
    const size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

}  // namespace

TEST(lookupBinding, DllsAreLoadedWithTheProgramFromItsFolder)
{
    // The other tests pair each LoadLibrary with FreeLibrary, so a DLL loaded here was bound through
    // the import table when the program started.
    const std::string programFolder = FolderOf(nullptr);
    ASSERT_FALSE(programFolder.empty());
    for (const char* dll : {"Vn_Category.dll", "Vn_Countries.dll"}) {
        SCOPED_TRACE(dll);
        HMODULE module = GetModuleHandleA(dll);
        ASSERT_NE(module, nullptr) << "not loaded at start-up";
        EXPECT_STRCASEEQ(FolderOf(module).c_str(), programFolder.c_str());
    }
}

TEST(lookupBinding, BareNamesResolveAndDecoratedNamesDoNot)
{
    for (const ExportedName& exported : kExports) {
        SCOPED_TRACE(exported.name);
        HMODULE module = LoadLibraryA(exported.dll);
        ASSERT_NE(module, nullptr);
        EXPECT_NE(GetProcAddress(module, exported.name), nullptr);
        EXPECT_EQ(GetProcAddress(module, exported.decorated), nullptr);
        const std::string underscored = std::string("_") + exported.decorated;
        EXPECT_EQ(GetProcAddress(module, underscored.c_str()), nullptr);
        FreeLibrary(module);
    }
}

TEST(lookupBinding, ResolvedFunctionsAreTheOnesTheImportLibraryCalls)
{
    HMODULE category = LoadLibraryA("Vn_Category.dll");
    HMODULE countries = LoadLibraryA("Vn_Countries.dll");
    ASSERT_NE(category, nullptr);
    ASSERT_NE(countries, nullptr);
    IdToOrdFn idToOrd = AsFunction<IdToOrdFn>(GetProcAddress(category, "func32_Get_IDToOrd"));
    TextFn fullName = AsFunction<TextFn>(GetProcAddress(category, "func32_Get_FullName"));
    TextFn moneyName = AsFunction<TextFn>(GetProcAddress(countries, "func32_Get_MoneyName"));
    TextFn moneyNameL = AsFunction<TextFn>(GetProcAddress(countries, "func32_Get_MoneyNameL"));
    ASSERT_TRUE(idToOrd && fullName && moneyName && moneyNameL);

    // The same static texts, pointer for pointer, whichever way the function was reached.
    for (int value : {-1, 0, 1, 2, 5, 1000, 1100}) {
        SCOPED_TRACE(value);
        EXPECT_EQ(idToOrd(value), func32_Get_IDToOrd(value));
        EXPECT_EQ(fullName(value), func32_Get_FullName(value));
    }
    EXPECT_STREQ(moneyName(840), "USD");
    EXPECT_EQ(moneyName(840), func32_Get_MoneyName(840));
    EXPECT_STREQ(moneyNameL(978), "Euro");
    EXPECT_EQ(moneyNameL(978), func32_Get_MoneyNameL(978));
    EXPECT_EQ(moneyName(1), func32_Get_MoneyName(1));

    FreeLibrary(countries);
    FreeLibrary(category);
}
