#pragma once
// The thread's error object (IErrorInfo), which vtable callers read with GetErrorInfo to learn
// the source and description of a failed call.

#include <windows.h>

#include <oaidl.h>

namespace KDAutoUpdate {

class ComErrorInfo {
public:
    // Replaces the thread's error object; `iid` names the interface whose call failed. Never
    // throws: it runs on the way out of failed calls.
    static void Set(REFIID iid, const wchar_t* source, const wchar_t* description) noexcept;
};

} // namespace KDAutoUpdate
