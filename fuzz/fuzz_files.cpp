#include "fuzz_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fuzz {

namespace {
struct Scratch {
    std::string dir;
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantorel-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        dir = pattern;
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};
}  // namespace

const std::string& ScratchDir() {
    static Scratch scratch;
    return scratch.dir;
}

std::string ScratchPath(const std::string& name) {
    std::string path = ScratchDir() + "/" + name;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return path;
}

std::string WriteScratch(const std::string& name, const std::uint8_t* data, std::size_t size) {
    std::string path = ScratchPath(name);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return {};
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    return ok ? path : std::string();
}

}  // namespace fuzz
