// Recognised text of fax files: a page of a fax decoded through the fax reader and handed
// to a recogniser, and the plain text of a page's words. The command-line `text`, the
// PDF text layer and searching in the viewer all read words through here, so they agree.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "formats/rle.h"
#include "ocr/recognizer.h"

namespace ocr {

// The pages of the fax at `path`; FaxUnreadable with the reader's message when it cannot
// be read.
Result FaxPageCount(const std::string& path, unsigned& pages);

// The words of page `number` (from 1) of the fax at `path`, boxes in the page's pixels.
// `mode` decodes runs at line ends as the viewer does (Carry) or as the export does (Drop),
// so that boxes fit the picture they are laid over.
Result RecognizeFaxPage(Recognizer& recognizer, const std::string& path, unsigned number, std::vector<Word>& words,
                        const std::atomic<bool>* cancel = nullptr, fax::RunAtLineEnd mode = fax::RunAtLineEnd::Carry);

// The words of each page of one fax in turn, for a writer that asks page by page (the
// PDF text layer asks with pages counted from 0). Runs are decoded as the export decodes
// them. A false answer ends the writing; result() says why.
class FaxPageWords {
public:
    FaxPageWords(Recognizer& recognizer, std::string path, const std::atomic<bool>* cancel = nullptr)
        : recognizer_(recognizer), path_(std::move(path)), cancel_(cancel) {}
    bool operator()(unsigned index, std::vector<Word>& words);
    const Result& result() const { return result_; }

private:
    Recognizer& recognizer_;
    std::string path_;
    const std::atomic<bool>* cancel_;
    Result result_;
};

// Words of one line joined by a space, a line break after each line and a blank line
// between blocks; empty for no words.
std::string PageText(const std::vector<Word>& words);

}  // namespace ocr
