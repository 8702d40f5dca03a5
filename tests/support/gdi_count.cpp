// Import slot patching and the GDI object count built on it.
#include "gdi_count.h"

#include <map>
#include <memory>
#include <string.h>

// The import descriptors of this program's own image.
static IMAGE_IMPORT_DESCRIPTOR* ImportDescriptors(BYTE* base)
{
    IMAGE_DOS_HEADER* dos = (IMAGE_DOS_HEADER*)base;
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
        return nullptr;
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0 || imports.Size == 0)
        return nullptr;
    return (IMAGE_IMPORT_DESCRIPTOR*)(base + imports.VirtualAddress);
}

static void WriteSlot(void** slot, void* value)
{
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old))
        return;
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
    FlushInstructionCache(GetCurrentProcess(), slot, sizeof *slot);
}

ImportPatch::ImportPatch(const char* module, const char* function, void* replacement) : original_(nullptr)
{
    BYTE* base = (BYTE*)GetModuleHandleA(nullptr);
    IMAGE_IMPORT_DESCRIPTOR* descriptor = ImportDescriptors(base);
    if (descriptor == nullptr)
        return;
    // Without a name table the slot is known by the address the loader put there.
    HMODULE loaded = GetModuleHandleA(module);
    void* resolved = loaded != nullptr ? (void*)GetProcAddress(loaded, function) : nullptr;
    // A program may hold several descriptors of one module, one per import library it linked.
    for (; descriptor->Name != 0; ++descriptor) {
        if (lstrcmpiA((const char*)(base + descriptor->Name), module) != 0)
            continue;
        IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + descriptor->FirstThunk);
        IMAGE_THUNK_DATA* names =
            descriptor->OriginalFirstThunk != 0 ? (IMAGE_THUNK_DATA*)(base + descriptor->OriginalFirstThunk) : nullptr;
        for (int i = 0; slots[i].u1.Function != 0; ++i) {
            bool match;
            if (names != nullptr) {
                if (IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal))
                    continue;
                IMAGE_IMPORT_BY_NAME* byName = (IMAGE_IMPORT_BY_NAME*)(base + names[i].u1.AddressOfData);
                match = strcmp((const char*)byName->Name, function) == 0;
            } else {
                match = resolved != nullptr && (void*)slots[i].u1.Function == resolved;
            }
            if (!match)
                continue;
            void** address = (void**)&slots[i].u1.Function;
            if (original_ == nullptr)
                original_ = *address;
            slots_.push_back(Slot{ address, *address });
            WriteSlot(address, replacement);
        }
    }
}

ImportPatch::~ImportPatch()
{
    for (auto slot = slots_.rbegin(); slot != slots_.rend(); ++slot)
        WriteSlot(slot->address, slot->previous);
}

namespace {

enum Kind { OBJECT, DC };

// The state of the one live count.
struct Counting {
    std::unique_ptr<ImportPatch> patches[GdiCount::CALL_COUNT];
    int calls[GdiCount::CALL_COUNT] = {};
    int creations = 0, deletions = 0;
    std::map<HANDLE, Kind> live;
};
Counting* counting = nullptr;

template <class Function> Function Original(GdiCount::Call call)
{
    return counting->patches[call]->Original<Function>();
}

void Created(GdiCount::Call call, HANDLE handle, Kind kind)
{
    ++counting->calls[call];
    if (handle == nullptr)
        return;
    ++counting->creations;
    counting->live[handle] = kind;
}

void Deleted(GdiCount::Call call, HANDLE handle, BOOL done, Kind kind)
{
    ++counting->calls[call];
    auto found = counting->live.find(handle);
    if (!done || found == counting->live.end() || found->second != kind)
        return;
    counting->live.erase(found);
    ++counting->deletions;
}

HPEN WINAPI CountCreatePen(int style, int width, COLORREF colour)
{
    HPEN pen = Original<decltype(&CreatePen)>(GdiCount::CREATE_PEN)(style, width, colour);
    Created(GdiCount::CREATE_PEN, pen, OBJECT);
    return pen;
}

HFONT WINAPI CountCreateFontIndirectA(const LOGFONTA* description)
{
    HFONT font = Original<decltype(&CreateFontIndirectA)>(GdiCount::CREATE_FONT_INDIRECT)(description);
    Created(GdiCount::CREATE_FONT_INDIRECT, font, OBJECT);
    return font;
}

HDC WINAPI CountCreateCompatibleDC(HDC dc)
{
    HDC created = Original<decltype(&CreateCompatibleDC)>(GdiCount::CREATE_COMPATIBLE_DC)(dc);
    Created(GdiCount::CREATE_COMPATIBLE_DC, created, DC);
    return created;
}

HBRUSH WINAPI CountCreateSolidBrush(COLORREF colour)
{
    HBRUSH brush = Original<decltype(&CreateSolidBrush)>(GdiCount::CREATE_SOLID_BRUSH)(colour);
    Created(GdiCount::CREATE_SOLID_BRUSH, brush, OBJECT);
    return brush;
}

HBITMAP WINAPI CountCreateCompatibleBitmap(HDC dc, int width, int height)
{
    HBITMAP bitmap = Original<decltype(&CreateCompatibleBitmap)>(GdiCount::CREATE_COMPATIBLE_BITMAP)(dc, width, height);
    Created(GdiCount::CREATE_COMPATIBLE_BITMAP, bitmap, OBJECT);
    return bitmap;
}

BOOL WINAPI CountDeleteObject(HGDIOBJ object)
{
    BOOL done = Original<decltype(&DeleteObject)>(GdiCount::DELETE_OBJECT)(object);
    Deleted(GdiCount::DELETE_OBJECT, object, done, OBJECT);
    return done;
}

BOOL WINAPI CountDeleteDC(HDC dc)
{
    BOOL done = Original<decltype(&DeleteDC)>(GdiCount::DELETE_DC)(dc);
    Deleted(GdiCount::DELETE_DC, dc, done, DC);
    return done;
}

struct Hook {
    const char* name;
    void* replacement;
    void* real; // naming it here makes the program import the function even when nothing else does
};

} // namespace

GdiCount::GdiCount() : owner_(counting == nullptr)
{
    if (!owner_)
        return;
    const Hook hooks[CALL_COUNT] = {
        { "CreatePen", (void*)&CountCreatePen, (void*)&CreatePen },
        { "CreateFontIndirectA", (void*)&CountCreateFontIndirectA, (void*)&CreateFontIndirectA },
        { "CreateCompatibleDC", (void*)&CountCreateCompatibleDC, (void*)&CreateCompatibleDC },
        { "CreateSolidBrush", (void*)&CountCreateSolidBrush, (void*)&CreateSolidBrush },
        { "CreateCompatibleBitmap", (void*)&CountCreateCompatibleBitmap, (void*)&CreateCompatibleBitmap },
        { "DeleteObject", (void*)&CountDeleteObject, (void*)&DeleteObject },
        { "DeleteDC", (void*)&CountDeleteDC, (void*)&DeleteDC },
    };
    counting = new Counting;
    for (int call = 0; call < CALL_COUNT; ++call)
        counting->patches[call].reset(new ImportPatch("gdi32.dll", hooks[call].name, hooks[call].replacement));
}

GdiCount::~GdiCount()
{
    if (!owner_)
        return;
    for (int call = CALL_COUNT - 1; call >= 0; --call)
        counting->patches[call].reset();
    delete counting;
    counting = nullptr;
}

bool GdiCount::Installed() const
{
    if (!owner_)
        return false;
    for (const auto& patch : counting->patches) {
        if (!patch || !patch->Patched())
            return false;
    }
    return true;
}

int GdiCount::Calls(Call call) const
{
    return owner_ && call >= 0 && call < CALL_COUNT ? counting->calls[call] : 0;
}

int GdiCount::Creations() const
{
    return owner_ ? counting->creations : 0;
}

int GdiCount::Deletions() const
{
    return owner_ ? counting->deletions : 0;
}

int GdiCount::Live() const
{
    return owner_ ? (int)counting->live.size() : 0;
}
