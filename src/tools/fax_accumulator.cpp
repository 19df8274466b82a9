#include "tools/fax_accumulator.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "formats/fax_reader.h"
#include "formats/file_io.h"
#include "tools/breakup.h"

namespace fax {

std::string AccumulatorPagePath(const std::string& dir, unsigned number) {
    char name[32];
    std::snprintf(name, sizeof name, "fpa%04u.pcx", number);
    return dir + "/" + name;
}

unsigned AccumulatorCount(const std::string& dir) {
    unsigned n = 0;
    while (FileExists(AccumulatorPagePath(dir, n + 1))) ++n;
    return n;
}

AccumulatorSaveResult AccumulatorSave(const std::string& dir, const std::string& faxPath) {
    AccumulatorSaveResult result;
    File in = File::OpenRead(faxPath);
    if (!in) return result;
    DcxPages pages = ReadDcxPages(in, faxPath);
    if (pages.status == DcxPages::Status::NotDcx) return result;
    if (pages.status == DcxPages::Status::Damaged) {
        result.messages.push_back({kProductTitle, pages.damage, MessageIcon::Error});
        return result;
    }
    std::vector<std::uint8_t> buffer(kPageCopyBuffer);
    unsigned number = AccumulatorCount(dir) + 1;
    for (const PageExtent& extent : pages.extents) {
        while (FileExists(AccumulatorPagePath(dir, number))) ++number;
        if (CopyPageToFile(in, extent, AccumulatorPagePath(dir, number++), buffer.data(), buffer.size()) !=
            CopyStatus::Ok)
            break;
        ++result.saved;
    }
    return result;
}

AccumulatorConvertResult AccumulatorBuild(const std::string& dir, const std::string& newPath) {
    AccumulatorConvertResult result;
    std::vector<std::string> run;
    for (unsigned n = 1; n <= kMaxConvertPages; ++n) {
        std::string page = AccumulatorPagePath(dir, n);
        if (!FileExists(page)) break;
        run.push_back(std::move(page));
    }
    if (run.empty()) return result;
    result.attempted = true;
    for (std::size_t i = 0; i < run.size(); ++i) {
        std::string refusal = FaxPictureRefusal(run[i]);
        if (!refusal.empty()) {
            result.build.messages.push_back({kProductTitle, refusal + "\nNothing was built.", MessageIcon::Error});
            return result;
        }
    }
    result.build = BuildFax(newPath, run);
    if (result.build.outcome == BuildFaxResult::Outcome::Built) result.taken = static_cast<unsigned>(run.size());
    return result;
}

void AccumulatorRemoveConverted(const std::string& dir, unsigned taken) {
    for (unsigned n = 1; n <= taken; ++n) RemoveFile(AccumulatorPagePath(dir, n));
    for (unsigned n = taken + 1, to = 1; taken > 0 && FileExists(AccumulatorPagePath(dir, n)); ++n, ++to) {
        std::string from = AccumulatorPagePath(dir, n), target = AccumulatorPagePath(dir, to);
        // link() never replaces a page that appeared meanwhile; the page then keeps its name.
        if (::link(from.c_str(), target.c_str()) != 0) break;
        ::unlink(from.c_str());
    }
}

std::vector<std::string> AccumulatorPageFiles(const std::string& dir) {
    std::vector<std::string> pages;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // "fpa" + at least four digits + ".pcx", written exactly as the number would be.
        if (name.size() < 11 || name.size() > 17 || name.compare(0, 3, "fpa") != 0 ||
            name.compare(name.size() - 4, 4, ".pcx") != 0)
            continue;
        const std::string digits = name.substr(3, name.size() - 7);
        if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const unsigned long number = std::stoul(digits);
        if (number > 0xFFFFFFFFul || AccumulatorPagePath(dir, static_cast<unsigned>(number)) != dir + "/" + name)
            continue;
        if (it->is_regular_file(ec) || it->is_symlink(ec)) pages.push_back(it->path().string());
    }
    return pages;
}

}  // namespace fax
