// A stand-in paint program for the Zoom/Edit tests:
//   stand_in_editor [--sleep MS] [--rect X0 Y0 X1 Y1] [--garbage] BITMAP
// Notes its folder and arguments in "stand-in.log" of its working folder, draws a black
// rectangle into the 1-bit bitmap (colour 0 is black there), or spoils the file, then
// waits and exits.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {
unsigned Le(const std::vector<unsigned char>& b, std::size_t at, int bytes) {
    unsigned v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
    return v;
}
}  // namespace

int main(int argc, char** argv) {
    int sleepMs = 0, x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool garbage = false;
    std::string bitmap;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--sleep" && i + 1 < args.size()) {
            sleepMs = std::atoi(args[++i].c_str());
        } else if (args[i] == "--rect" && i + 4 < args.size()) {
            x0 = std::atoi(args[++i].c_str()), y0 = std::atoi(args[++i].c_str());
            x1 = std::atoi(args[++i].c_str()), y1 = std::atoi(args[++i].c_str());
        } else if (args[i] == "--garbage") {
            garbage = true;
        } else {
            bitmap = args[i];
        }
    }
    char cwd[4096] = {};
    if (!getcwd(cwd, sizeof cwd)) return 3;
    {
        std::ofstream log("stand-in.log");
        log << cwd << "\n" << argc << "\n";
        for (const auto& a : args) log << a << "\n";
    }
    std::fstream f(bitmap, std::ios::in | std::ios::out | std::ios::binary);
    if (!f) return 4;
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (garbage) {
        b.assign({'n', 'o', 't', ' ', 'a', ' ', 'b', 'i', 't', 'm', 'a', 'p'});
        f.close();
        f.open(bitmap, std::ios::out | std::ios::binary | std::ios::trunc);
    } else {
        if (b.size() < 62 || b[0] != 'B' || b[1] != 'M' || Le(b, 28, 2) != 1) return 5;
        const unsigned offset = Le(b, 10, 4), width = Le(b, 18, 4), height = Le(b, 22, 4);
        const unsigned stride = (width + 31) / 32 * 4;
        for (int y = y0; y < y1 && y < static_cast<int>(height); ++y)
            for (int x = x0; x < x1 && x < static_cast<int>(width); ++x)
                b[offset + (height - 1 - y) * stride + x / 8] &= static_cast<unsigned char>(~(0x80 >> (x % 8)));
        f.seekp(0);
    }
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    f.close();
    std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    return 0;
}
