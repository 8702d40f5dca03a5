// Watching what this test program asks of the system by repointing its own import address table.
// The code under test is linked statically into the program, so its calls go through the same
// slots. The process-wide GDI object count is no help: under Wine it always reads 0.
#pragma once

#include <windows.h>

#include <vector>

// Points every import slot of this program that names function of module (say "gdi32.dll",
// "CreatePen") at replacement, until destroyed. Patches of one slot must end in reverse order.
class ImportPatch {
public:
    ImportPatch(const char* module, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Patched() const { return !slots_.empty(); }
    // What the slot held before: the function the replacement passes calls on to.
    template <class Function> Function Original() const { return (Function)original_; }

private:
    struct Slot {
        void** address;
        void* previous;
    };
    std::vector<Slot> slots_;
    void* original_;
};

// Counts the GDI objects (pens, fonts, brushes, bitmaps) and memory DCs this program creates and
// deletes while alive, handle by handle. One at a time.
class GdiCount {
public:
    enum Call {
        CREATE_PEN,
        CREATE_FONT_INDIRECT,
        CREATE_COMPATIBLE_DC,
        CREATE_SOLID_BRUSH,
        CREATE_COMPATIBLE_BITMAP,
        DELETE_OBJECT,
        DELETE_DC,
        CALL_COUNT
    };

    GdiCount();
    ~GdiCount(); // puts the original slots back
    GdiCount(const GdiCount&) = delete;
    GdiCount& operator=(const GdiCount&) = delete;

    // Every one of the seven functions was found and repointed.
    bool Installed() const;
    // Calls made to one function, whatever their outcome.
    int Calls(Call call) const;
    // Handles the creating functions returned.
    int Creations() const;
    // Of those handles, how many were deleted again by the matching function (DeleteObject for an
    // object, DeleteDC for a DC) and the deletion succeeded.
    int Deletions() const;
    // Created handles not deleted yet.
    int Live() const;

private:
    bool owner_; // false when another count was live at construction: this one counts nothing
};
