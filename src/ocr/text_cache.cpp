#include "ocr/text_cache.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

#include "formats/file_io.h"
#include "ocr/fax_text.h"

namespace fs = std::filesystem;

namespace ocr {

namespace {

constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ull;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ull;
constexpr std::size_t kHashChunk = 1 << 16;
constexpr std::string_view kMagic = "vantorel-text 1";
constexpr std::string_view kSuffix = ".words";

std::string Hex(std::uint64_t v) {
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(v));
    return buffer;
}

std::string KeyLine(const FaxKey& key) {
    return "key " + Hex(key.hash) + " " + std::to_string(key.size) + " " + std::to_string(key.pages) + " " +
           key.language;
}

// A word's text on one line: backslash, line feed and carriage return escaped.
void AppendEscaped(std::string& out, const std::string& text) {
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
}

bool Unescape(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (++i == in.size()) return false;
        if (in[i] == '\\') out += '\\';
        else if (in[i] == 'n') out += '\n';
        else if (in[i] == 'r') out += '\r';
        else return false;
    }
    return true;
}

// Reads the next line of `text` from `at`; false at the end.
bool NextLine(std::string_view text, std::size_t& at, std::string_view& line) {
    if (at >= text.size()) return false;
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) return false;  // every line of an entry ends in a line feed
    line = text.substr(at, end - at);
    at = end + 1;
    return true;
}

// Takes one decimal number and the space after it.
template <typename T>
bool Number(std::string_view& line, T& value) {
    const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (ec != std::errc() || end == line.data()) return false;
    line.remove_prefix(static_cast<std::size_t>(end - line.data()));
    if (line.empty() || line.front() != ' ') return false;
    line.remove_prefix(1);
    return true;
}

bool ParseWord(std::string_view line, Word& w) {
    return Number(line, w.x0) && Number(line, w.y0) && Number(line, w.x1) && Number(line, w.y1) &&
           Number(line, w.confidence) && Number(line, w.block) && Number(line, w.line) && Unescape(line, w.utf8) &&
           !w.utf8.empty();
}

bool Parse(std::string_view text, const FaxKey& key, FaxWords& pages) {
    std::size_t at = 0;
    std::string_view line;
    if (!NextLine(text, at, line) || line != kMagic || !NextLine(text, at, line) || line != KeyLine(key)) return false;
    pages.assign(key.pages, std::nullopt);
    while (NextLine(text, at, line)) {
        if (line == "end") return at == text.size();
        unsigned page = 0;
        std::size_t count = 0;
        if (!line.starts_with("page ")) return false;
        line.remove_prefix(5);
        if (!Number(line, page) || page < 1 || page > key.pages || pages[page - 1]) return false;
        const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), count);
        if (ec != std::errc() || end != line.data() + line.size() || count > kMaxCachedWordsPerPage) return false;
        std::vector<Word> words(count);
        for (Word& w : words)
            if (!NextLine(text, at, line) || !ParseWord(line, w)) return false;
        pages[page - 1] = std::move(words);
    }
    return false;  // no end line: cut short
}

// What tells a file apart from the one that was hashed: a replaced file is another inode, a
// rewritten one has another time or size.
struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {st.st_dev, st.st_ino, st.st_size, static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

}  // namespace

std::string DefaultTextCacheDir() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') return std::string(cache) + "/Vantorel/text";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.cache/Vantorel/text";
    return {};
}

std::string FaxKey::FileName() const {
    // The language as it may stand in a name; the key line inside tells entries apart.
    std::string lang = language;
    for (char& c : lang)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '_') c = '_';
    return Hex(hash) + "-" + std::to_string(size) + "-" + std::to_string(pages) + "-" + lang + std::string(kSuffix);
}

Result MakeFaxKey(const std::string& path, const std::string& language, FaxKey& key) {
    key = FaxKey{};
    key.language = language;
    if (Result r = FaxPageCount(path, key.pages); !r.ok()) return r;
    fax::File file = fax::File::OpenRead(path);
    std::vector<unsigned char> chunk(kHashChunk);
    std::uint64_t hash = kFnvOffset;
    std::int64_t got = file ? 0 : -1;
    while (file && (got = file.Read(chunk.data(), chunk.size())) > 0) {
        for (std::int64_t i = 0; i < got; ++i) hash = (hash ^ chunk[static_cast<std::size_t>(i)]) * kFnvPrime;
        key.size += static_cast<std::uint64_t>(got);
    }
    if (got < 0) return {Status::FaxUnreadable, "Can not read the fax:\n" + path};
    key.hash = hash;
    return {};
}

bool TextCache::Load(const FaxKey& key, FaxWords& pages) const {
    pages.assign(key.pages, std::nullopt);
    if (dir_.empty()) return false;
    const std::string path = PathOf(key);
    const std::int64_t size = fax::FileSize(path);
    if (size <= 0 || static_cast<std::uint64_t>(size) > bound_) return false;
    fax::File file = fax::File::OpenRead(path);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!file || file.Read(text.data(), text.size()) != size || !Parse(text, key, pages)) {
        pages.assign(key.pages, std::nullopt);
        return false;
    }
    std::error_code ec;
    fs::last_write_time(path, fs::file_time_type::clock::now(), ec);  // used now: kept longest
    return true;
}

bool TextCache::Store(const FaxKey& key, const FaxWords& pages) const {
    if (dir_.empty()) return false;
    std::string text = std::string(kMagic) + "\n" + KeyLine(key) + "\n";
    for (std::size_t p = 0; p < pages.size() && p < key.pages; ++p) {
        if (!pages[p]) continue;
        text += "page " + std::to_string(p + 1) + " " + std::to_string(pages[p]->size()) + "\n";
        for (const Word& w : *pages[p]) {
            // to_chars: the same text whatever the locale.
            char numbers[160];
            char* at = numbers;
            for (const int v : {w.x0, w.y0, w.x1, w.y1}) {
                at = std::to_chars(at, numbers + sizeof numbers, v).ptr;
                *at++ = ' ';
            }
            at = std::to_chars(at, numbers + sizeof numbers, w.confidence).ptr;
            *at++ = ' ';
            for (const int v : {w.block, w.line}) {
                at = std::to_chars(at, numbers + sizeof numbers, v).ptr;
                *at++ = ' ';
            }
            text.append(numbers, at);
            AppendEscaped(text, w.utf8);
            text += '\n';
        }
    }
    text += "end\n";
    std::error_code ec;
    fs::create_directories(dir_, ec);
    fax::AtomicFile out(PathOf(key));
    // A cache needs no sync: after a crash an entry is whole, missing, or fails to parse.
    if (!out.Open() || !out.file().WriteAll(text.data(), text.size()) || !out.Commit(false)) return false;
    Trim(PathOf(key));
    return true;
}

void TextCache::Trim(const std::string& keep) const {
    struct Entry {
        fs::path path;
        fs::file_time_type used;
        std::uint64_t size;
    };
    std::vector<Entry> entries;
    std::uint64_t total = 0;
    std::error_code ec;
    for (fs::directory_iterator it(dir_, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code e;
        if (!it->is_regular_file(e)) continue;
        const std::uint64_t size = it->file_size(e);
        const fs::file_time_type used = it->last_write_time(e);
        if (e) continue;
        total += size;
        if (it->path() != fs::path(keep)) entries.push_back({it->path(), used, size});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.used < b.used; });
    for (const Entry& e : entries) {
        if (total <= bound_) break;
        std::error_code r;
        if (fs::remove(e.path, r)) total -= e.size;
    }
}

Result ReadFaxText(const std::string& path, const std::string& language, unsigned first, const TextCache& cache,
                   const TextEvents& events, const std::atomic<bool>* cancel) {
    auto cancelled = [&] { return cancel && cancel->load(); };
    FaxKey key;
    const FileStamp stamp = StampOf(path);
    if (Result r = MakeFaxKey(path, language, key); !r.ok()) return r;
    if (events.pageCount) events.pageCount(key.pages);
    if (key.pages == 0) return {};
    FaxWords pages;
    cache.Load(key, pages);
    first = std::clamp(first, 1u, std::max(key.pages, 1u));
    auto order = [&](unsigned i) { return (first - 1 + i) % key.pages + 1; };
    for (unsigned i = 0; i < key.pages; ++i)
        if (const auto& words = pages[order(i) - 1]; words && events.words) events.words(order(i), std::vector<Word>(*words));

    std::optional<Recognizer> recognizer;
    for (unsigned i = 0; i < key.pages; ++i) {
        const unsigned page = order(i);
        if (pages[page - 1]) continue;
        if (cancelled()) return {Status::Cancelled, "Text recognition was cancelled."};
        if (!recognizer) {
            recognizer.emplace(language);
            if (Result r = recognizer->Open(); !r.ok()) return r;
        }
        if (events.reading) events.reading(page);
        std::vector<Word> words;
        const Result r = RecognizeFaxPage(*recognizer, path, page, words, cancel);
        if (r.status == Status::Cancelled) return r;
        // Words of a fax rewritten meanwhile (Zoom/Edit, replace) belong to no key.
        if (!(StampOf(path) == stamp)) return {Status::FaxUnreadable, "The fax changed while its text was read:\n" + path};
        // A page that cannot be read or is a picture has no words, and keeps having none; a
        // page the recogniser gave up on is tried again next time.
        if (r.status != Status::Failed) {
            pages[page - 1] = words;
            cache.Store(key, pages);
        }
        if (events.words) events.words(page, std::move(words));
    }
    return {};
}

}  // namespace ocr
