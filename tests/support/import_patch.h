// Watching a program's own calls to the platform: the address of one imported
// function is replaced in a module's import address table, so that calls from
// that module reach a test's function, which may call on to the original.
// Calls made by other modules (the platform's own DLLs) are not affected.
#pragma once
#include <string.h>
#include <windows.h>

namespace vornelle_test {

// The import address table slot of library!function in module, or null.
// Library names compare without regard to case, as the loader compares them.
inline void** import_slot(HMODULE module, const char* library, const char* function) {
    BYTE* base = (BYTE*)module;
    IMAGE_DOS_HEADER* dos = (IMAGE_DOS_HEADER*)base;
    IMAGE_NT_HEADERS* headers = (IMAGE_NT_HEADERS*)(base + dos->e_lfanew);
    IMAGE_DATA_DIRECTORY directory =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress) return 0;
    for (IMAGE_IMPORT_DESCRIPTOR* entry =
             (IMAGE_IMPORT_DESCRIPTOR*)(base + directory.VirtualAddress);
         entry->Name; ++entry) {
        if (_stricmp((const char*)(base + entry->Name), library) != 0) continue;
        if (!entry->OriginalFirstThunk) continue;  // no names to match against
        IMAGE_THUNK_DATA* name = (IMAGE_THUNK_DATA*)(base + entry->OriginalFirstThunk);
        IMAGE_THUNK_DATA* address = (IMAGE_THUNK_DATA*)(base + entry->FirstThunk);
        for (; name->u1.AddressOfData; ++name, ++address) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
            IMAGE_IMPORT_BY_NAME* byName = (IMAGE_IMPORT_BY_NAME*)(base + name->u1.AddressOfData);
            if (strcmp((const char*)byName->Name, function) == 0) {
                return (void**)&address->u1.Function;
            }
        }
    }
    return 0;
}

// Writes replacement into the slot and returns what it held (null when the
// module does not import the function).
inline void* patch_import(HMODULE module, const char* library, const char* function,
                          void* replacement) {
    void** slot = import_slot(module, library, function);
    if (!slot) return 0;
    DWORD protection = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return 0;
    void* original = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    return original;
}

// A patch of the program's own module for the life of a scope.
struct ScopedImportPatch {
    const char* library;
    const char* function;
    void* original;

    ScopedImportPatch(const char* library_, const char* function_, void* replacement)
        : library(library_), function(function_),
          original(patch_import(GetModuleHandleA(NULL), library_, function_, replacement)) {}
    ~ScopedImportPatch() {
        if (original) patch_import(GetModuleHandleA(NULL), library, function, original);
    }
    ScopedImportPatch(const ScopedImportPatch&) = delete;
    ScopedImportPatch& operator=(const ScopedImportPatch&) = delete;
};

}  // namespace vornelle_test
