#include "formats/fax_check.h"

#include <cerrno>
#include <cstdint>

#include "formats/file_io.h"
#include "formats/pcx.h"

namespace fax {

namespace {
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr const char* kNotAFax =
    "\nIs not a valid DCX or PCX fax file. To learn how to convert any file into a fax file, click "
    "[Tools], [Create Fax] and [Sending a Fax Directly from an Application].";
constexpr const char* kInUse = "\n\nIs it open in another program?";
constexpr const char* kMessageRef = "\n\nMessage(";

FaxCheck Fail(int step, const std::string& path, int error = 0) {
    std::string text;
    switch (step) {
        case 1: text = path + kNotAFax + kMessageRef + "1)"; break;
        case 2: text = "Can not access:\n" + path + kInUse + kMessageRef + "2)"; break;
        case 3: text = "Can not open:\n" + path + kInUse + kMessageRef + "3)"; break;
        default: text = path + kNotAFax + kMessageRef + std::to_string(step) + ")"; break;
    }
    return {step, text, error};
}
}  // namespace

FaxCheck OpenFailure(const std::string& path, int error) {
    // File::OpenRead refuses a folder, FIFO or device at once: no fax can be read from it.
    return Fail(error == EISDIR || error == ENOTSUP ? 4 : 3, path, error);
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    if (text.empty() || part.empty() || part.size() > text.size()) return false;
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < part.size() && Lower(text[i + k]) == Lower(part[k])) ++k;
        if (k == part.size()) return true;
    }
    return false;
}

FaxCheck CheckFaxFile(const std::string& path) {
    if (!ContainsNoCase(path, ".dcx") && !ContainsNoCase(path, ".pcx")) return Fail(1, path);
    return CheckFaxContent(path);
}

FaxCheck CheckFaxContent(const std::string& path) {
    errno = ENOENT;  // what an empty path stands for; stat() says why otherwise
    if (!PathExists(path)) return Fail(2, path, errno);
    File f = File::OpenRead(path);
    if (!f) return OpenFailure(path, errno);
    std::uint8_t head[kPcxHeaderSize];
    const std::int64_t got = f.Read(head, sizeof head);
    if (got != static_cast<std::int64_t>(sizeof head)) return Fail(4, path, got < 0 ? errno : 0);
    bool recognised = head[0] == 0xB1 ? (head[1] == 0x68 && head[2] == 0xDE && head[3] == 0x3A)
                                      : (head[0] == kPcxManufacturer && head[2] == kPcxRunLengthEncoding);
    if (!recognised) return Fail(5, path);
    return {};
}

}  // namespace fax
