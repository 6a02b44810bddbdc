#include "app/windows_start.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// A windowed program gets output handles only when they were redirected;
// started from a console it has none, and takes that console's.
bool has_output(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

void write_into_parent_console() {
    const bool out = has_output(STD_OUTPUT_HANDLE);
    const bool err = has_output(STD_ERROR_HANDLE);
    if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;  // from Explorer: no console at all
    if (!out) std::freopen("CONOUT$", "w", stdout);
    if (!err) std::freopen("CONOUT$", "w", stderr);
}

// The folder of the exe, as a wide string: its name may hold any character.
void change_into_own_folder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
        if (length == 0) return;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // cut short: a long path
    }
    const std::wstring::size_type slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return;
    path.resize(slash + 1);
    SetCurrentDirectoryW(path.c_str());
}

}  // namespace

void start_beside_program() {
    write_into_parent_console();
    change_into_own_folder();
}
