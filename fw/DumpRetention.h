// Which crash dumps to delete so that only the newest few stay.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DumpFileEntry {
    std::wstring name;
    std::uint64_t writeTime = 0; // any clock that grows with time, e.g. a FILETIME
};

// The names of all but the `keep` newest entries; of two entries written at the same time the one
// whose name sorts later counts as newer (names carry the time to the second).
std::vector<std::wstring> DumpsToRemove(std::vector<DumpFileEntry> entries, std::size_t keep);
