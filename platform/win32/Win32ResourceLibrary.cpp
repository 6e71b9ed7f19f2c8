#include "platform/win32/Win32ResourceLibrary.h"

#include <map>
#include <vector>

#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

namespace {

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (!IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(name);
    return TRUE;
}

bool IsNumber(const std::string& text) {
    return !text.empty() && text.size() < 6 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

bool Win32ResourceLibrary::OpenResourceLibrary(const std::string& filePath) {
    CloseResourceLibrary();
    if (filePath.empty())
        return false;
    m_module = LoadLibraryExW(Widen(filePath).c_str(), nullptr,
                              LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!m_module)
        return false;
    wchar_t full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameW(Widen(filePath).c_str(), MAX_PATH * 4, full, nullptr);
    m_filePath = length ? Narrow(full, static_cast<int>(length)) : filePath;
    return true;
}

void Win32ResourceLibrary::CloseResourceLibrary() {
    if (m_module)
        FreeLibrary(m_module);
    m_module = nullptr;
    m_filePath.clear();
}

std::optional<std::string> Win32ResourceLibrary::ReadResource(const std::string& name) const {
    if (!m_module || name.empty())
        return std::nullopt;
    const std::wstring wide = Widen(name);
    // Numbered resources ("101") carry an integer id; named ones are found without case.
    LPCWSTR id = IsNumber(name) ? MAKEINTRESOURCEW(std::stoi(name)) : wide.c_str();
    HRSRC found = FindResourceW(m_module, id, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = found ? LoadResource(m_module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return std::nullopt;
    return std::string(static_cast<const char*>(data), SizeofResource(m_module, found));
}

PicturePtr Win32ResourceLibrary::LoadResourcePicture(const std::string& name, int size, long, long,
                                                     long, long) {
    if (!m_module || name.empty())
        return nullptr;
    std::vector<std::wstring> names;
    EnumResourceNamesW(m_module, MAKEINTRESOURCEW(10), CollectName,
                       reinterpret_cast<LONG_PTR>(&names));
    const std::wstring prefix = Widen(name) + L"-";
    std::map<int, std::wstring> stored;
    for (const std::wstring& entry : names) {
        if (entry.size() <= prefix.size() + 4 ||
            CompareStringOrdinal(entry.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                 static_cast<int>(prefix.size()), TRUE) != CSTR_EQUAL ||
            CompareStringOrdinal(entry.c_str() + entry.size() - 4, 4, L".PNG", 4, TRUE) !=
                CSTR_EQUAL)
            continue;
        const std::wstring digits = entry.substr(prefix.size(), entry.size() - prefix.size() - 4);
        if (IsNumber(Narrow(digits)))
            stored.emplace(std::stoi(digits), entry);
    }
    if (stored.empty())
        return nullptr;
    auto chosen = size > 0 ? stored.lower_bound(size) : stored.end();
    if (chosen == stored.end())
        chosen = std::prev(stored.end());
    auto bytes = ReadResource(Narrow(chosen->second));
    if (!bytes)
        return nullptr;
    auto picture = std::make_shared<Picture>();
    picture->name = name;
    picture->size = size > 0 ? size : chosen->first;
    picture->data = std::move(*bytes);
    return picture;
}

} // namespace KDAutoUpdate
