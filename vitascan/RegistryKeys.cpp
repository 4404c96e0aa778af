#include "vitascan/RegistryKeys.h"

#include <algorithm>

namespace vitascan::reg {

win::unique_hkey OpenForReading(HKEY root, const std::wstring& subKey, REGSAM view) {
    win::unique_hkey key;
    // A failed open leaves the owner empty.
    ::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | view, key.put());
    return key;
}

void ForEachSubkeyName(HKEY key, const std::function<void(const std::wstring&)>& visit) {
    for (DWORD index = 0;; ++index) {
        wchar_t name[kNameCapacity];
        DWORD nameLength = kNameCapacity;
        if (::RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return;
        visit(std::wstring(name, std::min(nameLength, kNameCapacity)));
    }
}

} // namespace vitascan::reg
