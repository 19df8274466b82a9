// Finding text among a fax's recognised words, as a browser's find does on a page: the
// words of a page read in order as one text, a single space between words and at every
// line end, and the query (its runs of white space taken as one space) found anywhere in
// it: inside a word ("voice" finds "Invoice"), or from the end of one word over whole
// words into the start of another ("ice 47" finds "Invoice 4711"). Punctuation the
// recogniser keeps on a word is part of it ("4711 for" does not find "4711, for"). A hit
// is the run of consecutive words it touches; it never crosses from one page to the next.
// Letters are compared without their case unless asked, with full case folding for the
// scripts the recogniser reads (so "STRASSE" finds "Straße").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ocr/recognizer.h"

namespace ocr {

// Code points of UTF-8 text; a byte that starts no valid sequence stands as U+FFFD.
std::u32string DecodeUtf8(std::string_view utf8);
// Simple and full case folding for Latin (ASCII, Latin-1, Latin Extended-A and Extended
// Additional), Greek, Cyrillic and the Latin ligatures: "Ä" -> "ä",
// "ß" and "ẞ" -> "ss", "ﬁ" -> "fi", final sigma -> sigma. Other code points stay.
std::u32string FoldCase(std::u32string_view text);

struct Hit {
    unsigned page = 0;       // from 1
    std::size_t first = 0;   // index of its first word in the page's words
    std::size_t last = 0;    // index of its last word (inclusive)
    bool operator==(const Hit&) const = default;
    bool operator<(const Hit& o) const { return page != o.page ? page < o.page : first < o.first; }
};

class WordQuery {
public:
    WordQuery() = default;
    WordQuery(std::string_view utf8, bool matchCase);
    bool empty() const { return text_.empty(); }
    // The hits in `words` (one page's, in reading order), in order. Two occurrences that
    // touch the same words are one hit.
    std::vector<Hit> Find(unsigned page, const std::vector<Word>& words) const;

private:
    std::u32string text_;
    bool matchCase_ = false;
};

// The hits of one query over the pages read so far, kept in page order, with a current
// hit that stays the same hit while other pages' hits arrive.
class SearchHits {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    void Reset(const WordQuery& query);
    const WordQuery& query() const { return query_; }
    // Adds the hits of page `page`; a page given twice keeps its first words.
    void AddPage(unsigned page, const std::vector<Word>& words);
    bool HasPage(unsigned page) const;
    std::size_t count() const { return hits_.size(); }
    const std::vector<Hit>& hits() const { return hits_; }
    // Index of the current hit, npos when none.
    std::size_t current() const;
    const Hit* currentHit() const;
    void SetCurrent(std::size_t index);
    // The first hit on page `page` or after it, wrapping to the first page; npos when none.
    std::size_t FirstFrom(unsigned page) const;
    // Moves to the next (or previous) hit, wrapping; from no current hit, to the first
    // hit from page `page` on (or the last one before it). False when there is none.
    bool Step(bool forward, unsigned page);

private:
    WordQuery query_;
    std::vector<Hit> hits_;
    std::vector<unsigned> pages_;  // read so far, sorted
    bool hasCurrent_ = false;
    Hit current_;
};

}  // namespace ocr
