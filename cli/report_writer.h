#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orv::cli {

// One source's row of the report.
struct ReportRow {
    std::string source;
    std::string status; // "converted", "failed" or "skipped"
    std::vector<std::string> outputs;
    std::string error; // for "failed" only
    std::uint64_t bytes = 0;
    double seconds = 0;
    // The bytes the Unicode text holds as U+FFFD, when outputs list it.
    std::optional<std::uint64_t> replaced = std::nullopt;
};

// s as a JSON string. Bytes that are not valid UTF-8 are written one by one
// as the lone surrogates U+DC80 to U+DCFF (byte 0xE9 as "\udce9"), the
// convention Python calls "surrogateescape": decoding a row and encoding the
// name back with it gives the name's exact bytes.
std::string jsonString(const std::string& s);

// The row as one line of JSON, ended by "\n".
std::string reportLine(const ReportRow& row);

// The report file: JSON Lines, one row written whole by one write() as each
// source ends, so that the file is a usable record up to the last finished
// source even when the batch is killed.
class ReportWriter {
public:
    ReportWriter() = default;
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // Creates or empties path ("-": standard output); 0 or the errno.
    int open(const std::string& path);
    // 0 or the errno of the failed write; after a failure nothing more is written.
    int write(const ReportRow& row);
    // 0 or the errno of closing.
    int close();
    bool isOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    bool ownsFd_ = false;
};

} // namespace orv::cli
