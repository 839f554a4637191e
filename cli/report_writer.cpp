#include "cli/report_writer.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace orv::cli {

namespace {

// Length of the valid UTF-8 sequence at s[at], or 0 when none starts there:
// no overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t validSequence(const std::string& s, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > s.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
}

} // namespace

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    char escape[8];
    for (std::size_t at = 0; at < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[at]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else if (c >= 0x80) {
            if (const std::size_t length = validSequence(s, at); length != 0) {
                out.append(s, at, length);
                at += length;
                continue;
            }
            std::snprintf(escape, sizeof escape, "\\udc%02x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
        ++at;
    }
    return out + "\"";
}

std::string reportLine(const ReportRow& row) {
    // Appended piece by piece: GCC 12 warns falsely on "literal" + std::string.
    std::string line = "{\"source\":";
    line.append(jsonString(row.source)).append(",\"status\":\"").append(row.status);
    line.append("\",\"outputs\":[");
    for (std::size_t i = 0; i < row.outputs.size(); ++i)
        line.append(i == 0 ? "" : ",").append(jsonString(row.outputs[i]));
    line += "]";
    if (!row.error.empty())
        line.append(",\"error\":").append(jsonString(row.error));
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, ",\"bytes\":%llu,\"seconds\":%.6f",
                  static_cast<unsigned long long>(row.bytes), row.seconds);
    line += numbers;
    if (row.replaced) {
        std::snprintf(numbers, sizeof numbers, ",\"replaced\":%llu",
                      static_cast<unsigned long long>(*row.replaced));
        line += numbers;
    }
    return line + "}\n";
}

ReportWriter::~ReportWriter() {
    close();
}

int ReportWriter::open(const std::string& path) {
    if (path == "-") {
        fd_ = STDOUT_FILENO;
        return 0;
    }
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    ownsFd_ = fd_ >= 0;
    return fd_ >= 0 ? 0 : errno;
}

int ReportWriter::write(const ReportRow& row) {
    if (fd_ < 0)
        return 0;
    const std::string line = reportLine(row);
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t wrote = ::write(fd_, line.data() + done, line.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            const int error = wrote < 0 ? errno : EIO;
            close();
            return error;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return 0;
}

int ReportWriter::close() {
    const int fd = fd_;
    fd_ = -1;
    if (fd < 0 || !ownsFd_)
        return 0;
    ownsFd_ = false;
    return ::close(fd) == 0 ? 0 : errno;
}

} // namespace orv::cli
