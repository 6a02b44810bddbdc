// The resource table compiled into the program. Its definition is generated
// by the packer from res/ together with the data file, so the two always
// describe the same bytes; data_file_id ties them together at run time.
#pragma once

#include <cstdint>

struct ResourceEntry {
    std::uint64_t offset;  // absolute byte offset in the data file
    std::uint64_t size;
    const char* name;      // e.g. "res/buttons.png"
};

constexpr int resource_count = 57;
extern const ResourceEntry resource_table[resource_count];
extern const std::int32_t data_file_id;
