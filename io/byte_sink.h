#pragma once

#include <string>
#include <string_view>

namespace orv {

// Anything that takes bytes in order: an output file, or a string in memory.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(std::string_view bytes) = 0;
    // A whole block, however small, that no piece will join: a sink that
    // gathers small pieces need not copy it.
    virtual void writeBlock(std::string_view bytes) { write(bytes); }
};

class StringSink final : public ByteSink {
public:
    explicit StringSink(std::string& target) : target_(target) {}
    void write(std::string_view bytes) override { target_.append(bytes); }

private:
    std::string& target_;
};

inline constexpr std::string_view lineEnd = "\r\n";

} // namespace orv
