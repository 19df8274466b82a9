// The recognised words of faxes kept on disk, so that a second search in the same fax,
// even after a restart, needs no recognition. An entry belongs to the fax's bytes (a
// 64-bit FNV-1a hash and their count), its page count and the recogniser's language, so a
// fax that changed is read again. Entries are written whole through an AtomicFile; one
// that does not read back whole is ignored and written again. The folder is kept within
// kTextCacheBytes by removing the entries used longest ago.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ocr/recognizer.h"

namespace ocr {

inline constexpr std::uint64_t kTextCacheBytes = 64ull << 20;  // the whole folder
inline constexpr std::size_t kMaxCachedWordsPerPage = 200000;  // more in an entry means it is damaged

// $XDG_CACHE_HOME/Vantorel/text, or ~/.cache/Vantorel/text when that is unset or not an
// absolute path; empty when neither names a place.
std::string DefaultTextCacheDir();

struct FaxKey {
    std::uint64_t hash = 0;  // FNV-1a, 64 bits, of every byte of the file
    std::uint64_t size = 0;
    unsigned pages = 0;
    std::string language;
    bool operator==(const FaxKey&) const = default;
    std::string FileName() const;  // the entry's name in the cache folder
};

// Reads the fax at `path` once to hash it, and counts its pages.
Result MakeFaxKey(const std::string& path, const std::string& language, FaxKey& key);

// One fax's words by page (index 0 is page 1); a page not read yet has none.
using FaxWords = std::vector<std::optional<std::vector<Word>>>;

class TextCache {
public:
    explicit TextCache(std::string dir = DefaultTextCacheDir(), std::uint64_t bound = kTextCacheBytes)
        : dir_(std::move(dir)), bound_(bound) {}
    const std::string& dir() const { return dir_; }
    std::string PathOf(const FaxKey& key) const { return dir_ + "/" + key.FileName(); }

    // The pages kept for `key` (`pages` gets key.pages slots); false, with no page, when
    // there is no entry or it is damaged. A found entry counts as used now.
    bool Load(const FaxKey& key, FaxWords& pages) const;
    // Writes the entry, then removes the entries used longest ago (never this one) until
    // the folder holds at most the bound. False when it could not be written.
    bool Store(const FaxKey& key, const FaxWords& pages) const;

private:
    void Trim(const std::string& keep) const;
    std::string dir_;
    std::uint64_t bound_;
};

// What ReadFaxText reports as it goes.
struct TextEvents {
    std::function<void(unsigned pages)> pageCount;                  // once, first
    std::function<void(unsigned page)> reading;                     // before a page is recognised
    std::function<void(unsigned page, std::vector<Word>&&)> words;  // a page's words
};

// Every page's words of the fax at `path`: the pages the cache holds at once, then the
// others recognised (the recogniser is loaded only then) starting at page `first` and
// going on with the following pages, wrapping, each stored as soon as it is read. Ends
// with Cancelled once `cancel` is set, within one page's recognition; with the
// recogniser's refusal (NoLanguageData names the package) when pages were missing.
Result ReadFaxText(const std::string& path, const std::string& language, unsigned first, const TextCache& cache,
                   const TextEvents& events, const std::atomic<bool>* cancel = nullptr);

}  // namespace ocr
