// Memory probe: starts the program, presses its generate button PRESSES times
// (default 5) and learns each pass phrase from the program's memory alone:
// after a press, the new runs of exactly 63 characters of 0-9A-Za-z, 8-bit or
// UTF-16, bounded by other bytes, that no earlier look at the memory found.
// Nothing asks the program for its text (no WM_GETTEXT): answering such a
// message copies the text. After the last press it searches all of the
// program's readable memory for every pass phrase, as 8-bit and as UTF-16
// text, and tells where each copy lies: in an image (which module), mapped or
// private memory; in private memory, a thread's own block (its TEB and what
// follows it up to the next one) or its stack, or a heap block, busy or
// freed, where the block can be read; and since which press it has been there.
//   memory_probe EXE [PRESSES] [--settle MS] [--copy]
// --settle: the wait after the start and after each press (default 500 ms),
// long enough for the box to repaint; --copy: after each press, select the
// box's text and copy it (EM_SETSEL, WM_COPY), as a user does to paste it.
//   memory_probe --check-heap
// Before anything else it checks, in a heap of its own, that it reads heap
// blocks as they are laid out; where it does not, it places no copy in a heap
// block. --check-heap does only that, with exit code 0 when they read (77,
// skipped, on a Wine other than the one whose layout it knows).
// Prints a "probe ..." line, a "heap-layout read yes|no ..." line, per press a
// "learnt press N runs K" line and a "busy press N blocks ADDR..." line (the
// busy heap blocks that hold that press's pass phrase after it), then per pass
// phrase a "press N ansi A utf16 U" line and one line per copy.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/main_dialog_program.h"

using namespace vornelle_test;

namespace {

const size_t PASSPHRASE_CHARS = 63;
const DWORD ANSWER_MS = 10000;

// One committed, readable region of the program's memory and its bytes.
struct Region {
    uintptr_t base;
    uintptr_t allocationBase;
    DWORD type;  // MEM_IMAGE, MEM_MAPPED or MEM_PRIVATE
    std::string bytes;
};

typedef std::vector<Region> Snapshot;

// No part of the program's own memory comes near this; a larger committed
// region (a Wine may commit a whole reserved area) is not the program's data.
const SIZE_T REGION_MOST = 256 * 1024 * 1024;

// Reads the region that VirtualQueryEx described; false when it is not
// committed and readable, or larger than REGION_MOST.
bool read_region(HANDLE process, const MEMORY_BASIC_INFORMATION& region, Region* copy) {
    bool readable = region.State == MEM_COMMIT && region.Protect &&
                    !(region.Protect & (PAGE_GUARD | PAGE_NOACCESS));
    if (!readable || region.RegionSize > REGION_MOST) return false;
    *copy = Region{(uintptr_t)region.BaseAddress, (uintptr_t)region.AllocationBase, region.Type,
                   std::string(region.RegionSize, '\0')};
    SIZE_T read = 0;
    ReadProcessMemory(process, region.BaseAddress, &copy->bytes[0], copy->bytes.size(), &read);
    copy->bytes.resize(read);
    return read != 0;
}

// The program's readable memory, a region of neighbouring pages of one
// allocation and kind joined into one, so that a heap's part reads whole
// however the system splits it.
Snapshot snapshot_of(HANDLE process) {
    Snapshot regions;
    MEMORY_BASIC_INFORMATION region;
    Region copy;
    for (uintptr_t at = 0; VirtualQueryEx(process, (void*)at, &region, sizeof region);
         at = (uintptr_t)region.BaseAddress + region.RegionSize) {
        if (!read_region(process, region, &copy)) continue;
        Region* last = regions.empty() ? NULL : &regions.back();
        if (last && last->base + last->bytes.size() == copy.base &&
            last->allocationBase == copy.allocationBase && last->type == copy.type) {
            last->bytes += copy.bytes;
        } else {
            regions.push_back(copy);
        }
    }
    return regions;
}

bool is_alphabet(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Adds to runs, as 8-bit text, every run of exactly PASSPHRASE_CHARS alphabet
// characters in bytes: 8-bit, and UTF-16 at either byte alignment, each bounded
// by bytes (or units) outside the alphabet or by the region's ends.
void add_runs(const std::string& bytes, std::set<std::string>* runs) {
    size_t length = 0;
    for (size_t i = 0; i <= bytes.size(); ++i) {
        if (i < bytes.size() && is_alphabet(bytes[i])) {
            ++length;
            continue;
        }
        if (length == PASSPHRASE_CHARS) runs->insert(bytes.substr(i - length, length));
        length = 0;
    }
    for (size_t alignment = 0; alignment < 2; ++alignment) {
        length = 0;
        for (size_t i = alignment;; i += 2) {
            bool inside = i + 1 < bytes.size();
            if (inside && is_alphabet(bytes[i]) && bytes[i + 1] == 0) {
                ++length;
                continue;
            }
            if (length == PASSPHRASE_CHARS) {
                std::string run;
                for (size_t k = i - 2 * length; k < i; k += 2) run += bytes[k];
                runs->insert(run);
            }
            length = 0;
            if (!inside) break;
        }
    }
}

std::string widened(const std::string& text) {
    std::string wide;
    for (char c : text) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

// One copy of a learnt pass phrase: which one, whether as UTF-16, and where.
typedef std::tuple<size_t, bool, uintptr_t> Copy;

std::set<Copy> copies_in(const Snapshot& regions, const std::vector<std::string>& passphrases) {
    std::set<Copy> copies;
    for (const Region& region : regions) {
        for (size_t i = 0; i < passphrases.size(); ++i) {
            for (int wide = 0; wide < 2; ++wide) {
                std::string needle = wide ? widened(passphrases[i]) : passphrases[i];
                for (size_t at = region.bytes.find(needle); at != std::string::npos;
                     at = region.bytes.find(needle, at + 1)) {
                    copies.insert(Copy(i, wide != 0, region.base + at));
                }
            }
        }
    }
    return copies;
}

// The program's threads and heap, read when its memory is searched.
struct ThreadBlock {
    DWORD id;
    bool main;
    uintptr_t teb;
    uintptr_t blockEnd;  // the next TEB, the PEB or the region's end, 64 KiB at most
    uintptr_t stackLow;  // the stack's whole allocation, guard pages included
    uintptr_t stackHigh;
};

struct Layout {
    std::vector<ThreadBlock> threads;
    uintptr_t processHeap;
};

struct ThreadBasicInformation {
    LONG exitStatus;
    void* tebBaseAddress;
    void* uniqueProcess;
    void* uniqueThread;
    ULONG_PTR affinityMask;
    LONG priority;
    LONG basePriority;
};

struct ProcessBasicInformation {
    LONG exitStatus;
    void* pebBaseAddress;
    ULONG_PTR affinityMask;
    LONG basePriority;
    ULONG_PTR uniqueProcessId;
    ULONG_PTR inheritedFromUniqueProcessId;
};

typedef LONG(WINAPI* QueryInformation)(HANDLE, ULONG, void*, ULONG, ULONG*);

// Where the TEB keeps the stack's top and bottom (NT_TIB), and the PEB the
// process heap, for a program of the probe's own width.
const size_t TEB_STACK_BASE = sizeof(void*);
const size_t TEB_STACK_LIMIT = 2 * sizeof(void*);
const size_t PEB_PROCESS_HEAP = sizeof(void*) == 8 ? 0x30 : 0x18;
const uintptr_t THREAD_BLOCK_MOST = 0x10000;

uintptr_t read_pointer(HANDLE process, uintptr_t at) {
    uintptr_t value = 0;
    SIZE_T read = 0;
    ReadProcessMemory(process, (void*)at, &value, sizeof value, &read);
    return read == sizeof value ? value : 0;
}

Layout layout_of(const PROCESS_INFORMATION& program) {
    Layout layout = {};
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    QueryInformation query_thread =
        (QueryInformation)(void*)GetProcAddress(ntdll, "NtQueryInformationThread");
    QueryInformation query_process =
        (QueryInformation)(void*)GetProcAddress(ntdll, "NtQueryInformationProcess");
    ProcessBasicInformation process = {};
    uintptr_t peb = 0;
    if (query_process && query_process(program.hProcess, 0, &process, sizeof process, NULL) == 0) {
        peb = (uintptr_t)process.pebBaseAddress;
        layout.processHeap = read_pointer(program.hProcess, peb + PEB_PROCESS_HEAP);
    }
    HANDLE threads = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(threads, &entry); more && query_thread;
         more = Thread32Next(threads, &entry)) {
        if (entry.th32OwnerProcessID != program.dwProcessId) continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        ThreadBasicInformation basic = {};
        if (thread && query_thread(thread, 0, &basic, sizeof basic, NULL) == 0) {
            ThreadBlock block = {};
            block.id = entry.th32ThreadID;
            block.main = entry.th32ThreadID == program.dwThreadId;
            block.teb = (uintptr_t)basic.tebBaseAddress;
            block.stackHigh = read_pointer(program.hProcess, block.teb + TEB_STACK_BASE);
            MEMORY_BASIC_INFORMATION stack = {};
            uintptr_t limit = read_pointer(program.hProcess, block.teb + TEB_STACK_LIMIT);
            if (VirtualQueryEx(program.hProcess, (void*)limit, &stack, sizeof stack)) {
                block.stackLow = (uintptr_t)stack.AllocationBase;
            }
            layout.threads.push_back(block);
        }
        if (thread) CloseHandle(thread);
    }
    if (threads != INVALID_HANDLE_VALUE) CloseHandle(threads);
    for (ThreadBlock& block : layout.threads) {
        block.blockEnd = block.teb + THREAD_BLOCK_MOST;
        MEMORY_BASIC_INFORMATION region = {};
        if (VirtualQueryEx(program.hProcess, (void*)block.teb, &region, sizeof region)) {
            uintptr_t regionEnd = (uintptr_t)region.BaseAddress + region.RegionSize;
            if (regionEnd < block.blockEnd) block.blockEnd = regionEnd;
        }
        if (peb > block.teb && peb < block.blockEnd) block.blockEnd = peb;
        for (const ThreadBlock& other : layout.threads) {
            if (other.teb > block.teb && other.teb < block.blockEnd) block.blockEnd = other.teb;
        }
    }
    return layout;
}

// A heap block as Wine 8.0 lays its heaps out (seen with HeapWalk in a process
// of one's own, and checked there at every start: heap_layout_is_read): each
// block starts 8 bytes before a boundary of the heap's unit, two pointers (16
// bytes in a 64-bit process, 8 in a 32-bit one), with an 8-byte header of its
// size in units (16 bits), a flags byte (bit 0: free), a byte that is the
// size's next 8 bits in a free block, its distance from the start of its part
// of the heap in 64 KiB (16 bits), and the tag "US" (busy) or "FR" (free).
// Where the layout differs, no block reads.
struct HeapBlock {
    bool read;
    bool free;
    uintptr_t start;
    size_t size;
};

const size_t BLOCK_UNIT = 2 * sizeof(void*);
const size_t BLOCK_HEADER = 8;
const size_t HEAP_HEADER_MOST = 0x1000;
const int CHAIN_LEAST = 3;  // blocks read in a row before a start is believed

bool block_at(const std::string& bytes, size_t at, HeapBlock* block) {
    if (at + BLOCK_HEADER > bytes.size()) return false;
    const unsigned char* header = (const unsigned char*)bytes.data() + at;
    bool busy = header[6] == 'U' && header[7] == 'S';
    bool free = header[6] == 'F' && header[7] == 'R';
    if (!busy && !free) return false;
    if ((header[2] & 1) != (free ? 1 : 0)) return false;
    if ((size_t)(header[4] | header[5] << 8) != at >> 16) return false;
    size_t units = header[0] | header[1] << 8;
    if (free) units |= (size_t)header[3] << 16;
    if (units == 0) return false;
    block->read = true;
    block->free = free;
    block->start = at;
    block->size = units * BLOCK_UNIT;
    return true;
}

// The block of the heap part that region begins that holds offset at, walked
// from its first block; .read is false when the region holds no heap part
// whose blocks can be read up to at. A start is believed once CHAIN_LEAST
// blocks in a row read, or the blocks read from it reach the region's end.
HeapBlock heap_block_of(const Region& region, size_t at) {
    if (region.base != region.allocationBase) return HeapBlock();
    for (size_t first = BLOCK_HEADER; first < HEAP_HEADER_MOST && first <= at;
         first += BLOCK_UNIT) {
        HeapBlock block = {}, holder = {};
        int chain = 0;
        size_t next = first;
        for (; block_at(region.bytes, next, &block); next += block.size) {
            if (at >= block.start && at < block.start + block.size) holder = block;
            ++chain;
            if (holder.read && chain >= CHAIN_LEAST) return holder;
        }
        if (holder.read && next >= region.bytes.size()) return holder;
    }
    return HeapBlock();
}

std::string hex(uintptr_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", (unsigned long long)value);
    return text;
}

// Whether the probe reads heap blocks as this process's heaps lay them out,
// tried on a heap of its own: each block that HeapWalk lists must read from a
// snapshot of this process's memory, a busy one where HeapWalk puts it and with
// its size, a free one as free and holding what HeapWalk lists. A wrong unit
// breaks the walk from the first block. why says what did not read.
bool heap_layout_is_read(std::string* why) {
    HANDLE heap = HeapCreate(0, 0, 0);
    if (!heap) {
        *why = "no heap of its own";
        return false;
    }
    // Blocks of many sizes, then every third one freed, so that free blocks
    // lie between busy ones.
    const int BLOCKS = 24;
    void* blocks[BLOCKS];
    for (int i = 0; i < BLOCKS; ++i) blocks[i] = HeapAlloc(heap, 0, 24 + 40 * i);
    for (int i = 0; i < BLOCKS; i += 3) HeapFree(heap, 0, blocks[i]);
    Snapshot own = snapshot_of(GetCurrentProcess());
    int busy = 0, free = 0;
    PROCESS_HEAP_ENTRY entry = {};
    while (why->empty() && HeapWalk(heap, &entry)) {
        if (entry.wFlags & (PROCESS_HEAP_REGION | PROCESS_HEAP_UNCOMMITTED_RANGE)) continue;
        bool isBusy = (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
        uintptr_t data = (uintptr_t)entry.lpData;
        HeapBlock block = {};
        uintptr_t start = 0;
        for (const Region& region : own) {
            if (data < region.base || data >= region.base + region.bytes.size()) continue;
            block = heap_block_of(region, data - region.base);
            start = region.base + block.start;
        }
        bool right =
            block.read && block.free != isBusy &&
            (isBusy ? start + BLOCK_HEADER == data && block.size == entry.cbData + entry.cbOverhead
                    : start < data && data < start + block.size);
        if (!right) {
            *why = std::string(isBusy ? "busy" : "free") + " block of " +
                   std::to_string(entry.cbData) + " bytes at " + hex(data) + " read as " +
                   (!block.read ? "no block"
                                : std::string(block.free ? "free" : "busy") + " from " +
                                      hex(start) + ", " + std::to_string(block.size) + " bytes");
        }
        ++(isBusy ? busy : free);
    }
    HeapDestroy(heap);
    if (why->empty() && (busy == 0 || free == 0)) *why = "the walk listed no busy or no free block";
    return why->empty();
}

// The Wine whose heap layout the probe reads, and the one it runs on.
const int KNOWN_WINE_MAJOR = 8;

const char* wine_version() {
    typedef const char*(CDECL * WineVersion)();
    WineVersion get =
        (WineVersion)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
    return get ? get() : "not Wine";
}

bool wine_with_known_heap() {
    const char* version = wine_version();
    return std::atoi(version) == KNOWN_WINE_MAJOR && std::strchr(version, '.') != NULL;
}

std::string module_of(HANDLE process, uintptr_t at) {
    char path[MAX_PATH] = {};
    if (!GetMappedFileNameA(process, (void*)at, path, sizeof path)) return "?";
    const char* name = std::strrchr(path, '\\');
    return name ? name + 1 : path;
}

// Where the copy at address at lies, in words: the kind of memory, and in
// private memory a thread's block or stack or a heap block when it is one.
std::string place_of(HANDLE process, const Snapshot& regions, const Layout& layout, bool heapRead,
                     uintptr_t at) {
    for (const Region& region : regions) {
        if (at < region.base || at >= region.base + region.bytes.size()) continue;
        if (region.type == MEM_IMAGE) return "image " + module_of(process, at);
        if (region.type == MEM_MAPPED) return "mapped";
        for (const ThreadBlock& thread : layout.threads) {
            std::string whose = thread.main ? "main" : "thread " + std::to_string(thread.id);
            if (at >= thread.teb && at < thread.blockEnd) {
                return "teb " + whose + " +" + hex(at - thread.teb);
            }
            if (at >= thread.stackLow && at < thread.stackHigh) return "stack " + whose;
        }
        HeapBlock block = heapRead ? heap_block_of(region, at - region.base) : HeapBlock();
        if (block.read) {
            std::string heap = region.allocationBase == layout.processHeap
                                   ? "process heap"
                                   : "heap " + hex(region.allocationBase);
            return heap + (block.free ? " freed" : " busy") + " block " +
                   hex(region.base + block.start) + " size " + std::to_string(block.size) +
                   " at +" + hex(at - region.base - block.start);
        }
        return "private";
    }
    return "?";
}

std::string platform_name() {
    typedef const char*(CDECL * WineVersion)();
    WineVersion version =
        (WineVersion)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
    return version ? std::string("wine-") + version() : "windows";
}

// Waits until the dialog has handled what was sent before, then settleMs more
// for what it posts itself (a repaint).
void settle(HWND dialog, DWORD settleMs) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, ANSWER_MS, &ignored);
    Sleep(settleMs);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: memory_probe EXE [PRESSES] [--settle MS] [--copy] | --check-heap\n");
        return 1;
    }
    // The layout is Wine 8's: elsewhere --check-heap has nothing to hold the
    // probe to, and says so (exit 77, a skip).
    if (std::strcmp(argv[1], "--check-heap") == 0 && !wine_with_known_heap()) {
        std::printf("skipped: the probe reads the heap blocks of Wine %d, and this is %s\n",
                    KNOWN_WINE_MAJOR, wine_version());
        return 77;
    }
    std::string unread;
    bool heapRead = heap_layout_is_read(&unread);
    std::string heapLine = heapRead ? "yes" : "no (" + unread + ")";
    if (std::strcmp(argv[1], "--check-heap") == 0) {
        std::printf("heap-layout read %s, unit %u bytes\n", heapLine.c_str(), (unsigned)BLOCK_UNIT);
        return heapRead ? 0 : 1;
    }
    long presses = 5;
    DWORD settleMs = 500;
    bool copyEachPress = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--copy") == 0) {
            copyEachPress = true;
        } else if (std::strcmp(argv[i], "--settle") == 0 && i + 1 < argc) {
            settleMs = (DWORD)std::strtoul(argv[++i], NULL, 10);
        } else {
            presses = std::strtol(argv[i], NULL, 10);
        }
    }
    if (presses < 1) {
        std::fprintf(stderr, "memory_probe: PRESSES must be 1 or more\n");
        return 1;
    }
    std::printf("probe presses %ld settle-ms %lu copy %s platform %s bits %u\n", presses,
                (unsigned long)settleMs, copyEachPress ? "yes" : "no", platform_name().c_str(),
                (unsigned)(8 * sizeof(void*)));
    std::printf("heap-layout read %s\n", heapLine.c_str());

    MainDialogProgram started;
    std::string failure = start_main_dialog(argv[1], &started);
    if (!failure.empty()) {
        std::printf("error %s\n", failure.c_str());
        return 3;
    }
    HANDLE process = started.program.process.hProcess;
    HWND dialog = started.program.dialog;
    settle(dialog, settleMs);

    std::set<std::string> seen;
    for (const Region& region : snapshot_of(process)) add_runs(region.bytes, &seen);
    std::vector<std::string> passphrases;
    std::vector<long> learntAt;
    // The copies found after each press, to tell since when a copy has stayed.
    std::vector<std::set<Copy>> copiesAfter;
    Snapshot last;
    for (long press = 1; press <= presses; ++press) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(started.button, BM_CLICK, 0, 0, SMTO_NORMAL, ANSWER_MS, &ignored);
        if (copyEachPress) {
            SendMessageTimeoutA(started.box, EM_SETSEL, 0, -1, SMTO_NORMAL, ANSWER_MS, &ignored);
            SendMessageTimeoutA(started.box, WM_COPY, 0, 0, SMTO_NORMAL, ANSWER_MS, &ignored);
        }
        settle(dialog, settleMs);
        last = snapshot_of(process);
        std::set<std::string> runs;
        for (const Region& region : last) add_runs(region.bytes, &runs);
        long learnt = 0;
        for (const std::string& run : runs) {
            if (seen.insert(run).second) {
                passphrases.push_back(run);
                learntAt.push_back(press);
                ++learnt;
            }
        }
        std::printf("learnt press %ld runs %ld\n", press, learnt);
        copiesAfter.push_back(copies_in(last, passphrases));
        // The busy heap blocks that hold this press's pass phrase now: the
        // same block after every press is a buffer written over in place.
        std::set<uintptr_t> holders;
        for (const Copy& copy : copiesAfter.back()) {
            if (learntAt[std::get<0>(copy)] != press) continue;
            for (const Region& region : last) {
                uintptr_t at = std::get<2>(copy);
                if (!heapRead || at < region.base || at >= region.base + region.bytes.size())
                    continue;
                HeapBlock block = heap_block_of(region, at - region.base);
                if (block.read && !block.free) holders.insert(region.base + block.start);
            }
        }
        std::printf("busy press %ld blocks", press);
        for (uintptr_t holder : holders) std::printf(" %s", hex(holder).c_str());
        std::printf("\n");
    }

    Layout layout = layout_of(started.program.process);
    const std::set<Copy>& found = copiesAfter.back();
    for (size_t i = 0; i < passphrases.size(); ++i) {
        long ansi = 0, utf16 = 0;
        for (const Copy& copy : found) {
            if (std::get<0>(copy) == i) ++(std::get<1>(copy) ? utf16 : ansi);
        }
        std::printf("press %ld%s ansi %ld utf16 %ld\n", learntAt[i],
                    learntAt[i] == presses ? " (on show)" : "", ansi, utf16);
        for (const Copy& copy : found) {
            if (std::get<0>(copy) != i) continue;
            size_t since = copiesAfter.size() - 1;
            while (since > 0 && copiesAfter[since - 1].count(copy)) --since;
            std::printf("  %s %s %s since press %zu\n", std::get<1>(copy) ? "utf16" : "ansi",
                        hex(std::get<2>(copy)).c_str(),
                        place_of(process, last, layout, heapRead, std::get<2>(copy)).c_str(),
                        since + 1);
        }
    }
    long code = close_and_wait(dialog, process, ANSWER_MS);
    if (code == -1) TerminateProcess(process, 1);
    stop_dialog_program(&started.program);
    return 0;
}
