#include "display/Variant.h"

#include "model/Utf.h"

namespace display {

Variant Variant::fromInt32(std::int32_t value) {
    Variant v;
    v.value_ = value;
    return v;
}

Variant Variant::fromBool(bool value) { return fromRawBool(value ? variantTrue : variantFalse); }

Variant Variant::fromRawBool(VariantBool raw) {
    Variant v;
    v.value_ = raw;
    return v;
}

Variant Variant::fromString(std::u16string value) {
    Variant v;
    v.value_ = std::move(value);
    return v;
}

VariantType Variant::type() const {
    switch (value_.index()) {
    case 1: return VariantType::Int32;
    case 2: return VariantType::String;
    case 3: return VariantType::Boolean;
    default: return VariantType::Empty;
    }
}

std::string Variant::describe() const {
    switch (type()) {
    case VariantType::Int32: return "integer " + std::to_string(int32());
    case VariantType::Boolean: {
        const VariantBool raw = rawBool();
        return "boolean " + std::to_string(raw) + (raw ? " (True)" : " (False)");
    }
    case VariantType::String: return "string \"" + model::utf8(string()) + "\"";
    case VariantType::Empty: break;
    }
    return "empty";
}

const char* typeName(VariantType type) {
    switch (type) {
    case VariantType::Int32: return "integer";
    case VariantType::Boolean: return "boolean";
    case VariantType::String: return "string";
    case VariantType::Empty: break;
    }
    return "empty";
}

}  // namespace display
