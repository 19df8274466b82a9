// tarvex-thumbnailer -s SIZE INPUT OUTPUT: the file manager's picture of a fax.
// Exit status: 0 with OUTPUT written, 1 on a failure (message on standard error, no
// OUTPUT), 2 on a usage error.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "thumbnailer/thumbnail.h"

namespace {

int Usage() {
    std::fputs("usage: tarvex-thumbnailer -s SIZE INPUT OUTPUT\n"
               "  writes page 1 of the DCX or PCX fax INPUT as a PNG of at most SIZE x SIZE pixels\n",
               stderr);
    return 2;
}

bool ParseSize(const std::string& text, int& size) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    size = std::atoi(text.c_str());
    return size >= view::kThumbnailMinSize && size <= view::kThumbnailMaxSize;
}

}  // namespace

int main(int argc, char** argv) {
    int size = 0;
    if (argc != 5 || std::string(argv[1]) != "-s" || !ParseSize(argv[2], size)) return Usage();
    std::string error = view::WriteThumbnail(argv[3], size, argv[4]);
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
