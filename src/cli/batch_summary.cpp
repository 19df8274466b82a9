#include "cli/batch_summary.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace cli {

namespace {

// The length of the valid UTF-8 sequence at `at`, or 0 (overlong forms, surrogates and
// code points past U+10FFFF are not valid).
std::size_t Utf8Length(const std::string& s, std::size_t at) {
    const auto byte = [&s](std::size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u; };
    const unsigned c = byte(at);
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) length = 2;
    else if (c >= 0xE0 && c <= 0xEF) length = 3, low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
    else if (c >= 0xF0 && c <= 0xF4) length = 4, low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
    else return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(at + k) < 0x80 || byte(at + k) > 0xBF) return 0;
    return length;
}

}  // namespace

std::string JsonString(const std::string& bytes) {
    std::string out = "\"";
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        char escape[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n' || c == '\t' || c == '\r' || c == '\b' || c == '\f') {
            out += '\\';
            out += c == '\n' ? 'n' : c == '\t' ? 't' : c == '\r' ? 'r' : c == '\b' ? 'b' : 'f';
        } else if (c < 0x20) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const std::size_t n = Utf8Length(bytes, i); n > 0) {
            out.append(bytes, i, n);
            i += n;
            continue;
        } else {
            std::snprintf(escape, sizeof escape, "\\udc%02x", c);
            out += escape;
        }
        ++i;
    }
    return out + "\"";
}

std::string FormatSummaryLine(const SummaryLine& line) {
    std::string out = "{\"fax\":" + JsonString(line.fax) + ",\"pages\":" + std::to_string(line.pages) + ",\"outputs\":[";
    for (std::size_t k = 0; k < line.outputs.size(); ++k) out += (k ? "," : "") + JsonString(line.outputs[k]);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", line.seconds);
    out += "],\"seconds\":" + std::string(seconds) + ",\"error\":" + (line.error.empty() ? "null" : JsonString(line.error));
    return out + ",\"skipped\":" + (line.skipped ? "true" : "false") + "}\n";
}

SummaryFile::~SummaryFile() { Close(); }

bool SummaryFile::Close() {
    if (fd_ < 0) return true;
    if (::close(std::exchange(fd_, -1)) == 0) return true;
    if (error_.empty()) error_ = "Could not write the summary file:\n" + path_ + "\n" + std::strerror(errno);
    return false;
}

std::string SummaryFile::Open(const std::string& path) {
    path_ = path;
    if (path.empty()) return {};
    // Non-blocking, so that a FIFO nobody reads from is refused at once instead of waited on.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd_ < 0) return "Can not open the summary file:\n" + path + "\n" + std::strerror(errno);
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    return {};
}

bool SummaryFile::Append(const SummaryLine& line) {
    if (fd_ < 0) return path_.empty();
    const std::string text = FormatSummaryLine(line);
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = "Could not write the summary file:\n" + path_ + "\n" + std::strerror(n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace cli
