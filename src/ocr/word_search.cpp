#include "ocr/word_search.h"

#include <algorithm>

namespace ocr {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == 0xA0; }

// Pairs of capital and small letter that lie next to each other: the capital on the even
// (or, with `oddCapitals`, the odd) code point of the range.
bool InPairs(char32_t c, char32_t first, char32_t last, bool oddCapitals) {
    return c >= first && c <= last && (c % 2 == 1) == oddCapitals;
}

void FoldOne(char32_t c, std::u32string& out) {
    if (c < 0x80) {
        out += c >= 'A' && c <= 'Z' ? c + 32 : c;
        return;
    }
    // Full foldings: one letter becomes several.
    switch (c) {
        case 0x00DF: case 0x1E9E: out += U"ss"; return;   // ß, capital ẞ
        case 0x0130: out += U"i\u0307"; return;           // İ
        case 0x0149: out += U"\u02BCn"; return;           // ŉ
        case 0xFB00: out += U"ff"; return;
        case 0xFB01: out += U"fi"; return;
        case 0xFB02: out += U"fl"; return;
        case 0xFB03: out += U"ffi"; return;
        case 0xFB04: out += U"ffl"; return;
        case 0xFB05: case 0xFB06: out += U"st"; return;
        default: break;
    }
    char32_t f = c;
    if (c == 0x00B5) f = 0x03BC;                                    // micro sign -> mu
    else if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) f = c + 0x20;  // Latin-1 capitals
    else if (c == 0x0178) f = 0x00FF;                               // Ÿ
    else if (c == 0x017F) f = 's';                                  // long s
    else if (InPairs(c, 0x0100, 0x012F, false) || InPairs(c, 0x0132, 0x0137, false) ||
             InPairs(c, 0x0139, 0x0148, true) || InPairs(c, 0x014A, 0x0177, false) ||
             InPairs(c, 0x0179, 0x017E, true))
        f = c + 1;                                                  // Latin Extended-A
    else if (c == 0x0386) f = 0x03AC;                               // Greek with tonos
    else if (c >= 0x0388 && c <= 0x038A) f = c + 37;
    else if (c == 0x038C) f = 0x03CC;
    else if (c == 0x038E || c == 0x038F) f = c + 63;
    else if ((c >= 0x0391 && c <= 0x03A1) || (c >= 0x03A3 && c <= 0x03AB)) f = c + 32;
    else if (c == 0x03C2) f = 0x03C3;                               // final sigma
    else if (c >= 0x0400 && c <= 0x040F) f = c + 80;                // Cyrillic
    else if (c >= 0x0410 && c <= 0x042F) f = c + 32;
    else if (c == 0x04C0) f = 0x04CF;
    else if (InPairs(c, 0x0460, 0x0481, false) || InPairs(c, 0x048A, 0x04BF, false) ||
             InPairs(c, 0x04C1, 0x04CE, true) || InPairs(c, 0x04D0, 0x052F, false) ||
             InPairs(c, 0x1E00, 0x1E95, false) || InPairs(c, 0x1EA0, 0x1EFF, false))
        f = c + 1;
    out += f;
}

}  // namespace

std::u32string DecodeUtf8(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
        bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto n = static_cast<unsigned char>(utf8[i + k]);
            ok = (n & 0xC0) == 0x80;
            c = (c << 6) | (n & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not characters.
        static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (ok && extra > 0) ok = c >= kLeast[extra] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
        out += ok ? c : kReplacement;
        i += ok ? extra + 1 : 1;
    }
    return out;
}

std::u32string FoldCase(std::u32string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (char32_t c : text) FoldOne(c, out);
    return out;
}

WordQuery::WordQuery(std::string_view utf8, bool matchCase) : matchCase_(matchCase) {
    const std::u32string raw = DecodeUtf8(utf8);
    for (char32_t c : raw) {
        if (IsSpace(c)) {
            if (!text_.empty() && text_.back() != ' ') text_ += ' ';
        } else {
            text_ += c;
        }
    }
    if (!text_.empty() && text_.back() == ' ') text_.pop_back();
    if (!matchCase_) text_ = FoldCase(text_);
}

std::vector<Hit> WordQuery::Find(unsigned page, const std::vector<Word>& words) const {
    std::vector<Hit> hits;
    if (text_.empty()) return hits;
    // The page as one text, and the word each of its characters belongs to.
    std::u32string text;
    std::vector<std::size_t> owner;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) {
            text += ' ';
            owner.push_back(i - 1);
        }
        const std::u32string w = matchCase_ ? DecodeUtf8(words[i].utf8) : FoldCase(DecodeUtf8(words[i].utf8));
        text += w;
        owner.insert(owner.end(), w.size(), i);
    }
    for (std::size_t at = text.find(text_); at != std::u32string::npos; at = text.find(text_, at + text_.size())) {
        const Hit hit{page, owner[at], owner[at + text_.size() - 1]};
        if (hits.empty() || !(hits.back() == hit)) hits.push_back(hit);
    }
    return hits;
}

void SearchHits::Reset(const WordQuery& query) {
    query_ = query;
    hits_.clear();
    pages_.clear();
    hasCurrent_ = false;
}

bool SearchHits::HasPage(unsigned page) const { return std::binary_search(pages_.begin(), pages_.end(), page); }

void SearchHits::AddPage(unsigned page, const std::vector<Word>& words) {
    if (HasPage(page)) return;
    pages_.insert(std::upper_bound(pages_.begin(), pages_.end(), page), page);
    const std::vector<Hit> found = query_.Find(page, words);
    const Hit start{page, 0, 0};
    hits_.insert(std::lower_bound(hits_.begin(), hits_.end(), start), found.begin(), found.end());
}

std::size_t SearchHits::current() const {
    if (!hasCurrent_) return npos;
    return static_cast<std::size_t>(std::lower_bound(hits_.begin(), hits_.end(), current_) - hits_.begin());
}

const Hit* SearchHits::currentHit() const { return hasCurrent_ ? &current_ : nullptr; }

void SearchHits::SetCurrent(std::size_t index) {
    hasCurrent_ = index < hits_.size();
    if (hasCurrent_) current_ = hits_[index];
}

std::size_t SearchHits::FirstFrom(unsigned page) const {
    if (hits_.empty()) return npos;
    const auto it = std::lower_bound(hits_.begin(), hits_.end(), Hit{page, 0, 0});
    return it == hits_.end() ? 0 : static_cast<std::size_t>(it - hits_.begin());
}

bool SearchHits::Step(bool forward, unsigned page) {
    const std::size_t n = hits_.size();
    if (n == 0) return false;
    std::size_t next;
    if (hasCurrent_) {
        next = (current() + (forward ? 1 : n - 1)) % n;
    } else if (forward) {
        next = FirstFrom(page);
    } else {
        // The last hit on this page or before it, wrapping to the very last.
        const auto it = std::lower_bound(hits_.begin(), hits_.end(), Hit{page + 1, 0, 0});
        next = it == hits_.begin() ? n - 1 : static_cast<std::size_t>(it - hits_.begin()) - 1;
    }
    SetCurrent(next);
    return true;
}

}  // namespace ocr
