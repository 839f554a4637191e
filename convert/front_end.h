#pragma once

#include <string>

namespace orv {

// What a conversion needs from whoever started it: a place to report the
// outcome and a way to open a finished document with the desktop's program
// for it. The window shows message boxes; orvconv writes to stderr.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    virtual void reportSuccess(const std::string& message) = 0;
    virtual void reportFailure(const std::string& description) = 0;
    // The outcome is deliberately not reported back: a document nobody can
    // open does not make the conversion fail.
    virtual void openDocument(const std::string& path) = 0;
};

} // namespace orv
