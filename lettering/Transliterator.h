// Latin letters for text in other scripts and for letters a display lacks,
// from ICU's transliterators ("ß" to "ss", "Œ" to "OE", "Привет" to
// "Privet", "Ωμέγα" to "Omega"): Russian and Greek by their national
// romanisations, any other script by ICU's general rules, then down to
// plain ASCII.
//
// Results are kept, so each text is worked out once. Safe from any thread
// (one lock). Without ICU (the Windows build) nothing is transliterated.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace lettering {

class Transliterator {
public:
    // The process's one transliterator, made on first use.
    static Transliterator& standard();

    Transliterator();
    ~Transliterator();
    Transliterator(const Transliterator&) = delete;
    Transliterator& operator=(const Transliterator&) = delete;

    // The text in Latin letters; the text itself where ICU has nothing for it.
    std::u32string latin(std::u32string_view text);
    // Whether ICU's rules could be loaded (empty: they could).
    const std::string& problem() const { return problem_; }

private:
    struct Icu;
    std::mutex mutex_;
    std::unique_ptr<Icu> icu_;
    std::map<std::u32string, std::u32string, std::less<>> kept_;
    std::string problem_;
};

}  // namespace lettering
