// Converts each FILE into every format through the conversion command, the
// way orvconv --all does; lets the timings run on the core alone.
//   convert_driver FILE...

#include "convert/convert_document.h"

#include <cstdio>
#include <string>

namespace {

class QuietFrontEnd final : public orv::FrontEnd {
public:
    void reportSuccess(const std::string&) override {}
    void reportFailure(const std::string& description) override {
        std::fprintf(stderr, "convert_driver: %s\n", description.c_str());
        failed = true;
    }
    void openDocument(const std::string&) override {}
    bool failed = false;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: convert_driver FILE...\n", stderr);
        return 2;
    }
    QuietFrontEnd frontEnd;
    for (int i = 1; i < argc; ++i) {
        const std::string source = argv[i];
        orv::convertDocument(
            {.source = source, .outputBase = source, .accent = true, .rtf = true, .text = true},
            frontEnd);
    }
    return frontEnd.failed ? 1 : 0;
}
