#include "model/Hex.h"

namespace model {

std::string hexBytes(std::string_view bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!hex.empty()) hex += ' ';
        hex += digits[b >> 4];
        hex += digits[b & 0x0F];
    }
    return hex;
}

}  // namespace model
