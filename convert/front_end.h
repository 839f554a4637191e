#pragma once

#include <cstdint>
#include <string>

namespace orv {

// What a conversion needs from whoever started it: a place to report the
// outcome and a way to open a finished document with the desktop's program
// for it. The window shows message boxes; orvconv writes to stderr.
//
// Every call comes from the thread that runs the conversion, which need not
// be the front end's own.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    virtual void reportSuccess(const std::string& message) = 0;
    virtual void reportFailure(const std::string& description) = 0;
    // Something the user should know of an output that was kept, told
    // before the outcome ("path: what"). The run goes on as if all were
    // well: nothing is undone, no message box is forced on anyone.
    virtual void reportWarning(const std::string& /*message*/) {}
    // The outcome is deliberately not reported back: a document nobody can
    // open does not make the conversion fail.
    virtual void openDocument(const std::string& path) = 0;

    // How far the run is: bytes read so far out of all the run will read,
    // every pass over the decoded text included. Called after every block,
    // so keep it cheap.
    virtual void progress(std::uint64_t /*done*/, std::uint64_t /*total*/) {}
    // Asked after every block; true abandons the run. Every earlier output is
    // left exactly as it was, no temporary file remains, and nothing is
    // reported.
    virtual bool cancelled() { return false; }
};

} // namespace orv
