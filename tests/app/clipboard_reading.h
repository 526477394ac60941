// Test support for reading and setting the clipboard from outside the program,
// as any other program of the user would: the formats on it in order, their
// names, the text, and the data of the registered formats.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/outside_program.h"

namespace vornelle_test {

// The registered formats that keep a copied text out of clipboard history and
// the cloud clipboard.
const char* const PRIVACY_FORMATS[] = {
    "ExcludeClipboardContentFromMonitorProcessing",
    "CanIncludeInClipboardHistory",
    "CanUploadToCloudClipboard",
};

struct ClipboardFormat {
    UINT id;
    std::string name;                  // registered name; "" for a standard format
    std::vector<unsigned char> bytes;  // its data as GlobalSize reports it
};

struct ClipboardContent {
    bool opened = false;  // false: another program held the clipboard
    std::vector<ClipboardFormat> formats;
    std::wstring unicodeText;  // CF_UNICODETEXT up to its NUL
    std::string text;          // CF_TEXT up to its NUL

    const ClipboardFormat* find(const std::string& name) const {
        for (const ClipboardFormat& format : formats) {
            if (format.name == name) return &format;
        }
        return nullptr;
    }
    bool has(UINT id) const {
        for (const ClipboardFormat& format : formats) {
            if (format.id == id) return true;
        }
        return false;
    }
    std::vector<UINT> ids() const {
        std::vector<UINT> list;
        for (const ClipboardFormat& format : formats) list.push_back(format.id);
        return list;
    }
};

// Opens the clipboard, retrying for up to timeoutMs while someone else holds it.
inline bool open_clipboard(HWND owner, DWORD timeoutMs = 5000) {
    return wait_until([&] { return OpenClipboard(owner) != FALSE; }, timeoutMs);
}

inline ClipboardContent read_clipboard() {
    ClipboardContent content;
    if (!open_clipboard(NULL)) return content;
    content.opened = true;
    for (UINT id = EnumClipboardFormats(0); id; id = EnumClipboardFormats(id)) {
        ClipboardFormat format = {id, "", {}};
        char name[256] = {};
        if (GetClipboardFormatNameA(id, name, sizeof name)) format.name = name;
        HANDLE data = GetClipboardData(id);
        const unsigned char* bytes = data ? (const unsigned char*)GlobalLock(data) : nullptr;
        if (bytes) {
            format.bytes.assign(bytes, bytes + GlobalSize(data));
            if (id == CF_UNICODETEXT) {
                content.unicodeText = std::wstring((const wchar_t*)bytes,
                                                   wcsnlen((const wchar_t*)bytes,
                                                           GlobalSize(data) / sizeof(wchar_t)));
            } else if (id == CF_TEXT) {
                content.text = std::string((const char*)bytes,
                                           strnlen((const char*)bytes, GlobalSize(data)));
            }
            GlobalUnlock(data);
        }
        content.formats.push_back(format);
    }
    CloseClipboard();
    return content;
}

// A hidden window of this process to own what it puts on the clipboard (with
// no owner, the platform may refuse the data).
inline HWND clipboard_owner() {
    static HWND owner = CreateWindowExA(0, "STATIC", "clipboard owner", 0, 0, 0, 0, 0, NULL,
                                        NULL, GetModuleHandleA(NULL), NULL);
    return owner;
}

// Replaces the clipboard's content with text as CF_UNICODETEXT (ASCII text).
inline bool put_clipboard_text(const std::string& text) {
    std::wstring wide(text.begin(), text.end());
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
    if (!block) return false;
    memcpy(GlobalLock(block), wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
    if (!open_clipboard(clipboard_owner())) {
        GlobalFree(block);
        return false;
    }
    EmptyClipboard();
    bool put = SetClipboardData(CF_UNICODETEXT, block) != NULL;
    if (!put) GlobalFree(block);
    CloseClipboard();
    return put;
}

// The text as ASCII ('?' for any other character).
inline std::string narrow(const std::wstring& text) {
    std::string result;
    for (wchar_t c : text) result += c < 128 ? (char)c : '?';
    return result;
}

}  // namespace vornelle_test
