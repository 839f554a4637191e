#include "cli/user_locale.h"

#include <atomic>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace orv::cli {

namespace {

std::atomic<bool> charactersDeferred{false};

// The value the C library takes for a category: LC_ALL, then the
// category's own variable, then LANG; empty when none is set.
const char* environmentLocale(const char* category) {
    for (const char* name : {"LC_ALL", category, "LANG"})
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0')
            return value;
    return "";
}

// Whether messages come out as in the C locale: the C library ignores
// LANGUAGE for C and POSIX, and has no catalogue for a C.charset locale.
bool messagesUntranslated() {
    const char* messages = environmentLocale("LC_MESSAGES");
    if (*messages == '\0' || std::strcmp(messages, "C") == 0 || std::strcmp(messages, "POSIX") == 0)
        return true;
    const char* languages = std::getenv("LANGUAGE");
    return std::strncmp(messages, "C.", 2) == 0 && (languages == nullptr || *languages == '\0');
}

locale_t userCharacters() {
    // Where the user's locale cannot be loaded, the C library keeps "C".
    static const locale_t characters = [] {
        const locale_t loaded = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
        return loaded != static_cast<locale_t>(0)
                   ? loaded
                   : ::newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return characters;
}

} // namespace

void useUserLocale() {
    if (messagesUntranslated()) {
        charactersDeferred = true;
        return;
    }
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
}

UserCharacters::UserCharacters() {
    if (!charactersDeferred)
        return;
    if (const locale_t characters = userCharacters(); characters != static_cast<locale_t>(0))
        previous_ = ::uselocale(characters);
}

UserCharacters::~UserCharacters() {
    if (previous_ != nullptr)
        ::uselocale(static_cast<locale_t>(previous_));
}

} // namespace orv::cli
