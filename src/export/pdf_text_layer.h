// The PDF's text layer: recognised words laid over each page as invisible text (rendering
// mode 3), each word over its ink and scaled to its width, so that viewers select, copy and
// find them. The fonts draw nothing; a ToUnicode map gives every character its Unicode
// value, whatever the language. Pages keep their image untouched: the layer adds a content
// stream and a font resource to each page, and the fonts at the end of the file.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ocr/recognizer.h"

namespace fax {

// The recognised words of page `page` (from 0) of the document being written; false stops
// the writing (cancelled, or the words could not be had).
using PageWordsFn = std::function<bool(unsigned page, std::vector<ocr::Word>& words)>;

// One PDF object the layer wants written: its number and everything between
// "N 0 obj\r" and "endobj\r".
struct PdfObject {
    unsigned number = 0;
    std::string body;
};

// What one page needs.
struct PdfTextPage {
    bool empty = true;        // no words: the page stays as it is without a layer
    unsigned contents = 0;    // the text content stream, drawn after the image
    std::string fonts;        // the page's /Font resource dictionary
    std::vector<PdfObject> objects;
};

// Geometry of a page: its image in pixels and the page in points (the image fills it).
struct PdfPageBox {
    std::uint32_t widthPixels = 0, rowsPixels = 0;
    float widthPoints = 0, heightPoints = 0;
};

// The layer of one document. Object numbers are taken from `next`, which the caller keeps
// counting with.
class PdfTextLayer {
public:
    PdfTextPage AddPage(const std::vector<ocr::Word>& words, const PdfPageBox& box, unsigned& next);
    // The fonts, with every character the pages used; once, after the last page.
    std::vector<PdfObject> Finish();

private:
    struct Font {
        unsigned number = 0, toUnicode = 0;
        std::vector<char32_t> chars;  // code 1 upwards
    };
    struct Code {
        unsigned font;
        unsigned code;
    };
    Code CodeOf(char32_t c, unsigned& next);

    std::vector<Font> fonts_;
    std::map<char32_t, Code> codes_;
    unsigned glyph_ = 0;  // the one glyph of every font
};

// A number as PDF writes it, with `digits` after the point whatever the program's locale:
// "12.5000", never "12,5000" (printf follows LC_NUMERIC, which Qt sets from the desktop).
std::string PdfNumber(double v, int digits);

// The code points of UTF-8 text; a byte that starts no valid sequence gives U+FFFD.
std::u32string DecodeUtf8(const std::string& text);

}  // namespace fax
