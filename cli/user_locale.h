#pragma once

namespace orv::cli {

// Puts the user's locale (numbers as in C, for the report's JSON) in force
// for this run. Loading its files costs a short run a good share of its
// time, so when nothing the program prints can differ by it but a name's
// characters (messages untranslated: the C or POSIX locale, or a C.charset
// one with no LANGUAGE list), only the character set is loaded, and only
// when a name that is not plain printable ASCII must be shown. Otherwise
// the whole locale is loaded at once.
void useUserLocale();

// While alive, the calling thread reads characters in the user's character
// set: the global locale's, unless useUserLocale() left it to be loaded,
// which the first of these does.
class UserCharacters {
public:
    UserCharacters();
    ~UserCharacters();
    UserCharacters(const UserCharacters&) = delete;
    UserCharacters& operator=(const UserCharacters&) = delete;

private:
    void* previous_ = nullptr; // the thread's locale before, when switched
};

} // namespace orv::cli
