// Paths for test programs running under Wine: the build hands them Unix paths,
// which the Windows side reaches through Wine's Z: drive.
#pragma once
#include <string>

namespace vornelle_test {

// "/a/b.exe" -> "Z:\a\b.exe"; a path that is already a Windows one is unchanged.
inline std::string windows_path(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string converted = "Z:" + path;
    for (char& c : converted) {
        if (c == '/') c = '\\';
    }
    return converted;
}

}  // namespace vornelle_test
