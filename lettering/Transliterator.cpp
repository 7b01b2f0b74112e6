#include "lettering/Transliterator.h"

#ifdef LDT_HAVE_ICU
#include <unicode/translit.h>
#include <unicode/unistr.h>
#endif

namespace lettering {

namespace {

// Limits what one call may keep: text on a line display is short, and a
// caller with endless different texts must not grow the cache without end.
constexpr std::size_t keptAtMost = 4096;

}  // namespace

#ifdef LDT_HAVE_ICU

struct Transliterator::Icu {
    std::unique_ptr<icu::Transliterator> rules;
};

Transliterator::Transliterator() : icu_(std::make_unique<Icu>()) {
    UErrorCode status = U_ZERO_ERROR;
    icu_->rules.reset(icu::Transliterator::createInstance(
        "Russian-Latin/BGN; Greek-Latin/UNGEGN; Any-Latin; Latin-ASCII", UTRANS_FORWARD, status));
    if (U_FAILURE(status) || !icu_->rules) {
        problem_ = std::string("ICU's transliteration rules could not be loaded: ") + u_errorName(status);
        icu_->rules.reset();
    }
}

std::u32string Transliterator::latin(std::u32string_view text) {
    std::lock_guard lock(mutex_);
    if (const auto it = kept_.find(text); it != kept_.end()) return it->second;
    std::u32string result(text);
    if (icu_->rules) {
        icu::UnicodeString s = icu::UnicodeString::fromUTF32(
            reinterpret_cast<const UChar32*>(text.data()), static_cast<std::int32_t>(text.size()));
        icu_->rules->transliterate(s);
        UErrorCode status = U_ZERO_ERROR;
        result.assign(static_cast<std::size_t>(s.countChar32()), U'\0');
        s.toUTF32(
            reinterpret_cast<UChar32*>(result.data()), static_cast<std::int32_t>(result.size()), status);
        if (U_FAILURE(status)) result = text;
    }
    if (kept_.size() >= keptAtMost) kept_.clear();
    kept_.emplace(std::u32string(text), result);
    return result;
}

#else

struct Transliterator::Icu {};

Transliterator::Transliterator() : problem_("no ICU in this build: nothing is transliterated") {}

std::u32string Transliterator::latin(std::u32string_view text) { return std::u32string(text); }

#endif

Transliterator::~Transliterator() = default;

Transliterator& Transliterator::standard() {
    static Transliterator transliterator;
    return transliterator;
}

}  // namespace lettering
