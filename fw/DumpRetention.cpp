#include "fw/DumpRetention.h"

#include <algorithm>

std::vector<std::wstring> DumpsToRemove(std::vector<DumpFileEntry> entries, std::size_t keep)
{
    std::sort(entries.begin(), entries.end(), [](const DumpFileEntry& a, const DumpFileEntry& b) {
        return a.writeTime != b.writeTime ? a.writeTime > b.writeTime : a.name > b.name;
    });
    std::vector<std::wstring> remove;
    for (std::size_t i = keep; i < entries.size(); ++i)
        remove.push_back(entries[i].name);
    return remove;
}
