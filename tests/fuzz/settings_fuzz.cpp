// Fuzz target: any bytes as a settings file. One save keeps every value read, and a second save
// writes the same bytes as the first.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string once = ReformatRegistryText(text);
    if (DescribeRegistryValues(once) != DescribeRegistryValues(text)) std::abort();
    if (ReformatRegistryText(once) != once) std::abort();
    return 0;
}
