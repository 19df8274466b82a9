// Writes a DCX of dense text pages for the whole-program comparisons:
//   make_dense_fax OUT.dcx PAGES
#include <cstdio>
#include <cstdlib>

#include "bench_pages.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_dense_fax OUT.dcx PAGES\n");
        return 2;
    }
    int pages = std::atoi(argv[2]);
    if (pages < 1 || pages > 1023) return 2;
    benchpages::WriteDenseFax(argv[1], static_cast<unsigned>(pages));
    return 0;
}
