// Any key of 0 to 9 bytes: the column order is the plain stable sort by signed byte, equal
// bytes by descending position.
#include "cipher/key_order.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t n = std::min<std::size_t>(size, max_key_length);
    const std::string_view key(reinterpret_cast<const char*>(data), n);
    std::vector<std::int32_t> order(n, -1);
    fill_column_order(order.data(), static_cast<int>(n), key.data());
    require(order == reference_column_order(key));
    return 0;
}
