#include "export/pdf_text_layer.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <climits>

namespace fax {

namespace {

constexpr unsigned kCodesPerFont = 255;   // codes 1 to 255 of a one-byte font
constexpr unsigned kGlyphWidth = 500;     // in the font's 1/1000 units: half the font size
constexpr unsigned kGlyphHeight = 1000;   // the glyph box spans the line from its baseline up
constexpr unsigned kCMapBlock = 100;      // entries a bfchar block may hold
constexpr char32_t kReplacement = 0xFFFD;

// Numbers as PDF wants them whatever the program's locale: "12.25", never "12,25".
std::string Num(double v) {
    char text[32];
    auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 2);
    return std::string(text, r.ptr);
}

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
            charProcs_ = next++;
            descriptor_ = next++;
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
        const double size = (bottom - top) * sy, baseline = (rows - bottom) * sy;
        int font = -1;  // each line sets its size afresh
        double x = -1;  // where the last word began; the next one moves on from there
        for (std::size_t k = i; k < end; ++k) {
            const ocr::Word& w = words[k];
            std::u32string chars = DecodeUtf8(w.utf8);
            if (chars.empty()) continue;
            const double width = std::max(w.x1 - w.x0, 1) * sx;
            const double scale = 100.0 * width / (static_cast<double>(chars.size()) * kGlyphWidth / 1000.0 * size);
            if (k + 1 < end) chars += U' ';  // the space that parts it from the next word
            const double left = std::max(w.x0, 0) * sx;
            s += x < 0 ? "1 0 0 1 " + Num(left) + " " + Num(baseline) + " Tm " : Num(left - x) + " 0 Td ";
            s += Num(scale) + " Tz ";
            x = left;
            std::string run;
            for (char32_t c : chars) {
                const Code code = CodeOf(c, next);
                if (static_cast<int>(code.font) != font) {
                    if (!run.empty()) s += "<" + run + "> Tj ";
                    run.clear();
                    font = static_cast<int>(code.font);
                    s += "/T" + std::to_string(font + 1) + " " + Num(size) + " Tf ";
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
    // One glyph for every code: it advances and has a box, and draws nothing.
    objects.push_back({glyph_, Stream(std::to_string(kGlyphWidth) + " 0 0 0 " + std::to_string(kGlyphWidth) + " " +
                                          std::to_string(kGlyphHeight) + " d1\r",
                                      false)});
    objects.push_back({charProcs_, "<< /g " + Ref(glyph_) + " >>\r"});
    // Readers that size text by the font's ascent and descent find the glyph box here: from
    // the baseline up (a descent of 0 reads as "not given", so one unit below it).
    objects.push_back({descriptor_, "<< /Type /FontDescriptor /FontName /Invisible /Flags 32 /ItalicAngle 0 /Ascent " +
                                        std::to_string(kGlyphHeight) + " /Descent -1 /CapHeight " +
                                        std::to_string(kGlyphHeight) + " /StemV 0 /FontBBox [0 0 " +
                                        std::to_string(kGlyphWidth) + " " + std::to_string(kGlyphHeight) + "] >>\r"});
    for (const Font& f : fonts_) {
        std::string names, widths;
        for (std::size_t c = 1; c <= f.chars.size(); ++c) {
            names += c % 16 == 0 ? "/g\r" : "/g ";
            widths += std::to_string(kGlyphWidth) + (c % 16 == 0 ? "\r" : " ");
        }
        objects.push_back({f.number, "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 " + std::to_string(kGlyphWidth) +
                                         " " + std::to_string(kGlyphHeight) +
                                         "] /FontMatrix [0.001 0 0 0.001 0 0]\r/CharProcs " + Ref(charProcs_) +
                                         " /Encoding << /Differences [1 " + names + "] >>\r/FirstChar 1 /LastChar " +
                                         std::to_string(f.chars.size()) + " /Widths [" + widths +
                                         "]\r/ToUnicode " + Ref(f.toUnicode) + " /FontDescriptor " + Ref(descriptor_) +
                                         " /Resources << >> >>\r"});
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
