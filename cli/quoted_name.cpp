#include "cli/quoted_name.h"

#include "cli/user_locale.h"

#include <cwchar>
#include <cwctype>

namespace orv::cli {

namespace {

// Walks name one character of the locale at a time; bytes that start no
// valid character, and characters that do not print, come out one byte at
// a time with printable == false.
template <typename Visit> void forEachCharacter(std::string_view name, Visit visit) {
    const UserCharacters characters;
    std::mbstate_t state{};
    std::size_t at = 0;
    while (at < name.size()) {
        wchar_t wide = 0;
        const std::size_t length = std::mbrtowc(&wide, name.data() + at, name.size() - at, &state);
        if (length == static_cast<std::size_t>(-1) || length == static_cast<std::size_t>(-2) ||
            length == 0 || !std::iswprint(static_cast<std::wint_t>(wide))) {
            visit(name.substr(at, 1), false);
            state = std::mbstate_t{};
            ++at;
        } else {
            visit(name.substr(at, length), true);
            at += length;
        }
    }
}

void appendEscape(std::string& out, unsigned char byte) {
    static constexpr std::string_view letters = "abtnvfr"; // bytes 7 to 13
    out += '\\';
    if (byte >= 7 && byte <= 13) {
        out += letters[byte - 7];
    } else {
        out += static_cast<char>('0' + (byte >> 6));
        out += static_cast<char>('0' + ((byte >> 3) & 7));
        out += static_cast<char>('0' + (byte & 7));
    }
}

// Printable ASCII is printable, one byte a character, in every locale: such
// a name needs no locale data to be shown.
bool plainAscii(std::string_view name) {
    for (const char c : name)
        if (c < ' ' || c > '~')
            return false;
    return true;
}

} // namespace

bool needsQuoting(std::string_view name) {
    // Unquoted, the empty name would not show at all.
    if (plainAscii(name))
        return name.empty();
    bool needed = false;
    forEachCharacter(name, [&](std::string_view, bool printable) { needed |= !printable; });
    return needed;
}

std::string quotedName(std::string_view name) {
    if (!needsQuoting(name))
        return std::string(name);
    std::string out = "'";
    bool inEscape = false; // inside $'...'
    forEachCharacter(name, [&](std::string_view character, bool printable) {
        if (!printable) {
            if (!inEscape)
                out += "'$'";
            inEscape = true;
            appendEscape(out, static_cast<unsigned char>(character[0]));
            return;
        }
        if (character == "'") {
            // Closes whichever quote is open, then a quoted quote, then reopens.
            out += "'\\''";
            inEscape = false;
            return;
        }
        if (inEscape)
            out += "''";
        inEscape = false;
        out += character;
    });
    out += '\'';
    return out;
}

} // namespace orv::cli
