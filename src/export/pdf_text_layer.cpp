#include "export/pdf_text_layer.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

namespace fax {

std::string PdfNumber(double v, int digits) {
    char text[64];
    auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, digits);
    return std::string(text, r.ptr);
}

namespace {

constexpr unsigned kCodesPerFont = 255;   // codes 1 to 255 of a one-byte font
// One glyph serves every code: it advances half the font size and draws nothing. Its box
// reaches from 0.35 of the size below the baseline to 0.95 above, which are also the ascent
// and descent readers assume for a font that gives none; so readers that take the glyph's
// box and readers that take the font's ascent and descent both put a word's box exactly
// over its line. Glyph space is a tenth of text space.
constexpr const char* kFontMatrix = "[0.1 0 0 0.1 0 0]";
constexpr const char* kGlyphWidth = "5";
constexpr const char* kGlyphBox = "0 -3.5 5 9.5";
constexpr double kAdvance = 0.5;  // of the font size
constexpr double kAscent = 0.95, kDescent = 0.35;
constexpr unsigned kCMapBlock = 100;      // entries a bfchar block may hold
constexpr char32_t kReplacement = 0xFFFD;

// A tenth of a point is a third of a fax pixel.
std::string Num(double v, int digits = 1) { return PdfNumber(v, digits); }

std::string Ref(unsigned number) { return std::to_string(number) + " 0 R"; }

std::string Hex(unsigned value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) s[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return s;
}

// UTF-16BE in hexadecimal, as a ToUnicode map gives the destination.
std::string Utf16Hex(char32_t c) {
    if (c < 0x10000) return Hex(c, 4);
    const char32_t v = c - 0x10000;
    return Hex(0xD800 + (v >> 10), 4) + Hex(0xDC00 + (v & 0x3FF), 4);
}

std::string Stream(const std::string& data, bool compress) {
    std::string bytes = data;
    if (compress) {
        uLongf size = compressBound(static_cast<uLong>(data.size()));
        bytes.resize(size);
        if (compress2(reinterpret_cast<Bytef*>(bytes.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                      static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK)
            return Stream(data, false);
        bytes.resize(size);
    }
    return "<< /Length " + std::to_string(bytes.size()) + (compress ? " /Filter /FlateDecode" : "") +
           " >>\rstream\r\n" + bytes + "\rendstream\r";
}

}  // namespace

std::u32string DecodeUtf8(const std::string& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const int extra = b < 0x80 ? 0 : (b >> 5) == 0x6 ? 1 : (b >> 4) == 0xE ? 2 : (b >> 3) == 0x1E ? 3 : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
        bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto n = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            ok = (n & 0xC0) == 0x80;
            c = (c << 6) | (n & 0x3F);
        }
        // Overlong forms, surrogates and values past Unicode are no characters.
        static const char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        ok = ok && c >= kLeast[extra] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
        out += ok ? c : kReplacement;
        i += ok ? static_cast<std::size_t>(extra) + 1 : 1;
    }
    return out;
}

PdfTextLayer::Code PdfTextLayer::CodeOf(char32_t c, unsigned& next) {
    if (auto it = codes_.find(c); it != codes_.end()) return it->second;
    if (fonts_.empty() || fonts_.back().chars.size() >= kCodesPerFont) {
        if (fonts_.empty()) {
            glyph_ = next++;
        }
        Font f;
        f.number = next++;
        f.toUnicode = next++;
        fonts_.push_back(f);
    }
    Font& f = fonts_.back();
    f.chars.push_back(c);
    const Code code{static_cast<unsigned>(fonts_.size() - 1), static_cast<unsigned>(f.chars.size())};
    codes_.emplace(c, code);
    return code;
}

PdfTextPage PdfTextLayer::AddPage(const std::vector<ocr::Word>& words, const PdfPageBox& box, unsigned& next) {
    PdfTextPage page;
    if (words.empty() || box.widthPixels == 0 || box.rowsPixels == 0) return page;
    const double sx = box.widthPoints / box.widthPixels, sy = box.heightPoints / box.rowsPixels;
    const int rows = static_cast<int>(std::min<std::uint32_t>(box.rowsPixels, INT_MAX));
    std::vector<bool> used;
    std::string s = "BT\r3 Tr\r";
    // Where the last word began, in tenths of a point: each word moves on from there by
    // whole tenths, so no rounding adds up over the page.
    long x = 0, y = 0;
    for (std::size_t i = 0; i < words.size();) {
        // One line: one size and one baseline, so that readers keep its words together.
        std::size_t end = i;
        int top = INT_MAX, bottom = INT_MIN;
        for (; end < words.size() && words[end].line == words[i].line && words[end].block == words[i].block; ++end) {
            top = std::min(top, words[end].y0);
            bottom = std::max(bottom, words[end].y1);
        }
        top = std::clamp(top, 0, rows - 1);
        bottom = std::clamp(bottom, top + 1, rows);
        const double size = (bottom - top) * sy / (kAscent + kDescent);
        const double baseline = (rows - bottom) * sy + kDescent * size;
        int font = -1;  // each line sets its size afresh
        for (std::size_t k = i; k < end; ++k) {
            const ocr::Word& w = words[k];
            std::u32string chars = DecodeUtf8(w.utf8);
            if (chars.empty()) continue;
            const double width = std::max(w.x1 - w.x0, 1) * sx;
            const double scale = 100.0 * width / (static_cast<double>(chars.size()) * kAdvance * size);
            if (k + 1 < end) chars += U' ';  // the space that parts it from the next word
            const long left = std::lround(std::max(w.x0, 0) * sx * 10), base = std::lround(baseline * 10);
            s += Num((left - x) / 10.0) + " " + Num((base - y) / 10.0) + " Td " + Num(scale, 0) + " Tz ";
            x = left, y = base;
            std::string run;
            for (char32_t c : chars) {
                const Code code = CodeOf(c, next);
                if (static_cast<int>(code.font) != font) {
                    if (!run.empty()) s += "<" + run + "> Tj ";
                    run.clear();
                    font = static_cast<int>(code.font);
                    s += "/T" + std::to_string(font + 1) + " " + Num(size, 2) + " Tf ";
                    if (used.size() <= code.font) used.resize(code.font + 1);
                    used[code.font] = true;
                }
                run += Hex(code.code, 2);
            }
            s += "<" + run + "> Tj\r";
        }
        i = end;
    }
    s += "ET\r";
    page.empty = false;
    page.contents = next++;
    page.objects.push_back({page.contents, Stream(s, true)});
    page.fonts = "<< ";
    for (std::size_t f = 0; f < used.size(); ++f)
        if (used[f]) page.fonts += "/T" + std::to_string(f + 1) + " " + Ref(fonts_[f].number) + " ";
    page.fonts += ">>";
    return page;
}

std::vector<PdfObject> PdfTextLayer::Finish() {
    std::vector<PdfObject> objects;
    if (fonts_.empty()) return objects;
    objects.push_back({glyph_, Stream(std::string(kGlyphWidth) + " 0 " + kGlyphBox + " d1\r", false)});
    for (const Font& f : fonts_) {
        std::string names, widths;
        for (std::size_t c = 1; c <= f.chars.size(); ++c) {
            names += c % 16 == 0 ? "/g\r" : "/g ";
            widths += std::string(kGlyphWidth) + (c % 16 == 0 ? "\r" : " ");
        }
        objects.push_back({f.number, std::string("<< /Type /Font /Subtype /Type3 /FontBBox [") + kGlyphBox +
                                         "] /FontMatrix " + kFontMatrix + "\r/CharProcs << /g " + Ref(glyph_) +
                                         " >> /Encoding << /Differences [1 " + names + "] >>\r/FirstChar 1 /LastChar " +
                                         std::to_string(f.chars.size()) + " /Widths [" + widths +
                                         "]\r/ToUnicode " + Ref(f.toUnicode) + " /Resources << >> >>\r"});
        std::string map =
            "/CIDInit /ProcSet findresource begin\r12 dict begin\rbegincmap\r"
            "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\r"
            "/CMapName /Adobe-Identity-UCS def\r/CMapType 2 def\r"
            "1 begincodespacerange\r<00> <FF>\rendcodespacerange\r";
        for (std::size_t at = 0; at < f.chars.size(); at += kCMapBlock) {
            const std::size_t n = std::min<std::size_t>(kCMapBlock, f.chars.size() - at);
            map += std::to_string(n) + " beginbfchar\r";
            for (std::size_t k = at; k < at + n; ++k)
                map += "<" + Hex(static_cast<unsigned>(k + 1), 2) + "> <" + Utf16Hex(f.chars[k]) + ">\r";
            map += "endbfchar\r";
        }
        map += "endcmap\rCMapName currentdict /CMap defineresource pop\rend\rend\r";
        objects.push_back({f.toUnicode, Stream(map, true)});
    }
    return objects;
}

}  // namespace fax
