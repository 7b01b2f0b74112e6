#include "display/ResultCodes.h"

#include "model/Utf.h"

namespace display {

std::optional<std::string_view> resultCodeName(std::int32_t code) {
    for (const auto& entry : resultCodeNames) {
        if (entry.code == code) return entry.name;
    }
    return std::nullopt;
}

void ShowResultCode(std::int32_t code, const std::function<void(std::u16string_view)>& setStatus) {
    // A code without a name leaves the status label as it was, so the last
    // known result stays readable.
    if (const auto name = resultCodeName(code)) setStatus(model::utf16(*name));
}

}  // namespace display
