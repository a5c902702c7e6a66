#include "ChineseScript.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>

namespace tavlo::text {

namespace {

icu::Transliterator *transliterator(Script target) {
    // Created once per direction and kept for the program's life: ICU builds the rule set lazily and
    // building it is far slower than applying it.
    static std::unique_ptr<icu::Transliterator> toSimplified;
    static std::unique_ptr<icu::Transliterator> toTraditional;
    auto &slot = target == Script::Simplified ? toSimplified : toTraditional;
    if (!slot) {
        UErrorCode status = U_ZERO_ERROR;
        const char *id = target == Script::Simplified ? "Hant-Hans" : "Hans-Hant";
        slot.reset(
            icu::Transliterator::createInstance(icu::UnicodeString::fromUTF8(id), UTRANS_FORWARD, status));
        if (U_FAILURE(status))
            slot.reset();
    }
    return slot.get();
}

} // namespace

QChar mapChineseCharacter(QChar c, Script target) {
    icu::Transliterator *t = transliterator(target);
    if (!t)
        return c;
    icu::UnicodeString s(static_cast<UChar>(c.unicode()));
    t->transliterate(s);
    if (s.length() != 1)
        return c;
    return QChar(static_cast<char16_t>(s.charAt(0)));
}

} // namespace tavlo::text
