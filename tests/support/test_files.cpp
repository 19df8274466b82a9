#include "support/test_files.h"

#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/netpbm.h"

namespace testing_support {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vantorel-test-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

std::vector<Bytes> Trashed(const std::string& name) {
    std::vector<Bytes> found;
    const char* data = std::getenv("XDG_DATA_HOME");
    std::error_code ec;
    if (!data) return found;
    for (std::filesystem::directory_iterator it(std::string(data) + "/Trash/files", ec), end; !ec && it != end;
         it.increment(ec))
        if (it->path().filename().string().starts_with(name)) found.push_back(ReadBytes(it->path().string()));
    return found;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

SmallDisk::SmallDisk(const std::string& path) : path_(path) {
    std::filesystem::create_directory(path_);
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=64k") == 0;
}

SmallDisk::~SmallDisk() {
    if (mounted_) ::umount(path_.c_str());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary | std::ios::ate);
    if (!f) return {};
    Bytes bytes(static_cast<std::size_t>(std::max<std::streamoff>(0, f.tellg())));
    f.seekg(0);
    f.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(f.gcount()));
    return bytes;
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

Bytes PcxHeaderBytes(std::uint16_t bytesPerLine, std::uint16_t ymax) {
    Bytes h(128, 0);
    h[0] = 10;
    h[1] = 5;
    h[2] = 1;
    h[3] = 1;
    std::uint16_t xmax = static_cast<std::uint16_t>(bytesPerLine * 8 - 1);
    h[8] = xmax & 0xFF;
    h[9] = xmax >> 8;
    h[10] = ymax & 0xFF;
    h[11] = ymax >> 8;
    h[12] = 200;
    h[14] = 200;
    h[65] = 1;
    h[66] = bytesPerLine & 0xFF;
    h[67] = bytesPerLine >> 8;
    return h;
}

Bytes RgbPicturePcx(std::uint16_t width, std::uint16_t lines, std::uint8_t value) {
    Bytes h = PcxHeaderBytes(width, static_cast<std::uint16_t>(lines - 1));
    const std::uint16_t xmax = static_cast<std::uint16_t>(width - 1);
    h[3] = 8, h[65] = 3, h[8] = xmax & 0xFF, h[9] = xmax >> 8;
    Bytes data = EncodePage(Bytes(std::size_t{width} * 3 * lines, value), std::size_t{width} * 3);
    h.insert(h.end(), data.begin(), data.end());
    return h;
}

Bytes PatternPage(std::size_t bpl, std::size_t lines, unsigned seed) {
    Bytes p(bpl * lines, 0xFF);
    std::uint32_t state = seed * 2654435761u + 12345;
    auto next = [&] {
        state = state * 1103515245u + 12345u;
        return state >> 16;
    };
    for (std::size_t y = 0; y < lines; ++y) {
        std::uint8_t* row = &p[y * bpl];
        std::size_t band = (y / 24) % 5;
        if (band == 4) continue;  // a blank gap between "text lines"
        if ((y + seed) % 97 < 3) {
            for (std::size_t x = bpl / 8; x < bpl - bpl / 8; ++x) row[x] = 0x00;  // a rule
            continue;
        }
        for (std::size_t x = bpl / 10; x < bpl - bpl / 10; ++x) {
            std::uint32_t r = next();
            if (r % 7 < 3) row[x] = static_cast<std::uint8_t>(r & 0xFF);  // strokes
        }
        row[0] = static_cast<std::uint8_t>(0xC0 | (seed & 0x3F));  // bytes that need escaping
    }
    return p;
}

Bytes EncodePage(const Bytes& pixels, std::size_t bpl) {
    Bytes out;
    for (std::size_t off = 0; off + bpl <= pixels.size(); off += bpl) {
        std::size_t i = 0;
        while (i < bpl) {
            std::uint8_t v = pixels[off + i];
            std::size_t run = 1;
            while (i + run < bpl && run < 63 && pixels[off + i + run] == v) ++run;
            if (run == 1 && v < 0xC0) {
                out.push_back(v);
            } else {
                out.push_back(static_cast<std::uint8_t>(0xC0 | run));
                out.push_back(v);
            }
            i += run;
        }
    }
    return out;
}

Bytes MakePcx(const Bytes& pixels, std::size_t bpl) {
    std::size_t lines = pixels.size() / bpl;
    Bytes file = PcxHeaderBytes(static_cast<std::uint16_t>(bpl), static_cast<std::uint16_t>(lines - 1));
    Bytes data = EncodePage(pixels, bpl);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

Bytes MakeDcx(const std::vector<Bytes>& pages) {
    Bytes file(4096, 0);
    file[0] = 0xB1;
    file[1] = 0x68;
    file[2] = 0xDE;
    file[3] = 0x3A;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        std::uint32_t off = static_cast<std::uint32_t>(file.size());
        for (int k = 0; k < 4; ++k) file[4 + 4 * i + k] = static_cast<std::uint8_t>(off >> (8 * k));
        file.insert(file.end(), pages[i].begin(), pages[i].end());
    }
    return file;
}

int RunCommand(const std::string& command, std::string* output, bool withStderr) {
    std::string cmd = command + (withStderr ? " 2>&1" : "");
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        if (output) output->append(buf, n);
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Bytes RenderTextPage(const TempDir& dir, const std::vector<std::string>& lines, std::size_t height) {
    std::string draw;
    for (std::size_t i = 0; i < lines.size(); ++i)
        draw += " -draw \"text 60," + std::to_string(60 + 50 * i) + " '" + lines[i] + "'\"";
    const std::string pbm = dir.File("rendered.pbm");
    std::string data;
    Picture page;
    if (RunCommand("gm convert -size 1728x" + std::to_string(height) +
                   " xc:white -font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf -density 200 -pointsize 12"
                   " -fill black" + draw + " -monochrome pbm:'" + pbm + "' && cat '" + pbm + "'",
                   &data) != 0 ||
        !ReadNetpbm(data, page) || page.width != 1728)
        return {};
    return page.pixels;
}

int SparePort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

std::string CliPath() { return VANTOREL_CLI; }
std::string SourceDir() { return VANTOREL_SOURCE_DIR; }

}  // namespace testing_support
