// Makes the user documents from their one source: the help page (one HTML 4.01 file with
// its pictures inside as data: URIs, a table of contents, no scripts) and the plain-text
// manual, plus the plain-text read-me from its own source.
//
//   helpgen MANUAL_SOURCE README_SOURCE PICTURE_FOLDER OUT_FOLDER
//
// Source markup, one construct per line:
//   % comment                        = Title {Anchor}      (the document title)
//   == Section {Anchor}              === Subsection {Anchor}
//   - bullet item (continued by lines that start with two blanks)
//   | cell | cell |  (table row; a row of dashes makes the rows above it the header)
//   @picture name.png | description
//   anything else: paragraph text, up to the next blank line
// Inline: [[Anchor|text]] links within the page, `text` for names the user types or sees.
// A link to an anchor that does not exist, a doubled anchor or a missing picture stops the
// build, so the page never ships a broken link.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kTextWidth = 76;

struct Block {
    enum Kind { Title, Section, Subsection, Paragraph, Bullets, Table, Picture } kind;
    std::string text;                          // heading, paragraph, picture description
    std::string anchor;                        // headings
    std::string number;                        // "3", "3.2" for headings
    std::vector<std::string> items;            // bullets; picture file in items[0]
    std::vector<std::vector<std::string>> rows;  // table
    std::size_t headerRows = 0;
};

[[noreturn]] void Die(const std::string& message) {
    std::fprintf(stderr, "helpgen: %s\n", message.c_str());
    std::exit(1);
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

bool StartsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Die("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out || !(out << text) || !out.flush()) Die("cannot write " + path);
}

// "Title {Anchor}" -> title and anchor.
void SplitAnchor(const std::string& line, std::string& text, std::string& anchor) {
    text = Trim(line);
    anchor.clear();
    if (!text.empty() && text.back() == '}') {
        const auto open = text.rfind('{');
        if (open != std::string::npos) {
            anchor = text.substr(open + 1, text.size() - open - 2);
            text = Trim(text.substr(0, open));
        }
    }
}

std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::string t = Trim(line);
    if (!t.empty() && t.front() == '|') t.erase(0, 1);
    if (!t.empty() && t.back() == '|') t.pop_back();
    std::size_t start = 0;
    while (true) {
        const auto bar = t.find('|', start);
        cells.push_back(Trim(t.substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return cells;
}

bool IsRule(const std::vector<std::string>& cells) {
    for (const auto& c : cells)
        if (c.empty() || c.find_first_not_of("-: ") != std::string::npos) return false;
    return true;
}

std::vector<Block> Parse(const std::string& source, const std::string& name) {
    std::vector<Block> blocks;
    std::istringstream in(source);
    std::string line;
    int lineNo = 0;
    Block* open = nullptr;  // the paragraph, list or table being filled
    int section = 0, subsection = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string t = Trim(line);
        if (StartsWith(line, "%")) continue;
        if (t.empty()) {
            open = nullptr;
            continue;
        }
        const std::string where = name + ":" + std::to_string(lineNo);
        if (StartsWith(line, "=")) {
            Block b{};
            std::size_t level = line.find_first_not_of('=');
            SplitAnchor(line.substr(level), b.text, b.anchor);
            if (level == 1) {
                b.kind = Block::Title;
            } else if (level == 2) {
                b.kind = Block::Section;
                b.number = std::to_string(++section);
                subsection = 0;
            } else if (level == 3) {
                if (section == 0) Die(where + ": a subsection before the first section");
                b.kind = Block::Subsection;
                b.number = std::to_string(section) + "." + std::to_string(++subsection);
            } else {
                Die(where + ": headings have one to three '='");
            }
            blocks.push_back(b);
            open = nullptr;
        } else if (StartsWith(line, "@picture ")) {
            Block b{};
            b.kind = Block::Picture;
            const std::string rest = line.substr(9);
            const auto bar = rest.find('|');
            if (bar == std::string::npos) Die(where + ": a picture needs '| description'");
            b.items.push_back(Trim(rest.substr(0, bar)));
            b.text = Trim(rest.substr(bar + 1));
            blocks.push_back(b);
            open = nullptr;
        } else if (StartsWith(line, "- ")) {
            if (!open || open->kind != Block::Bullets) {
                blocks.push_back(Block{Block::Bullets, {}, {}, {}, {}, {}, 0});
                open = &blocks.back();
            }
            open->items.push_back(t.substr(2));
        } else if (StartsWith(line, "  ") && open && open->kind == Block::Bullets) {
            open->items.back() += " " + t;
        } else if (StartsWith(t, "|")) {
            if (!open || open->kind != Block::Table) {
                blocks.push_back(Block{Block::Table, {}, {}, {}, {}, {}, 0});
                open = &blocks.back();
            }
            auto cells = Cells(t);
            if (IsRule(cells)) {
                open->headerRows = open->rows.size();
            } else {
                if (!open->rows.empty() && cells.size() != open->rows.front().size())
                    Die(where + ": a table row with another number of cells");
                open->rows.push_back(cells);
            }
        } else {
            if (!open || open->kind != Block::Paragraph) {
                blocks.push_back(Block{Block::Paragraph, {}, {}, {}, {}, {}, 0});
                open = &blocks.back();
                open->text = t;
            } else {
                open->text += " " + t;
            }
        }
    }
    return blocks;
}

// ---- inline text ----------------------------------------------------------------------

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

struct Anchors {
    std::map<std::string, std::string> number;  // anchor -> section number ("" for the title)
};

// Renders [[Anchor|text]] and `code` for HTML (html = true) or plain text.
std::string Inline(const std::string& s, const Anchors& anchors, bool html, const std::string& where) {
    std::string out;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s.compare(i, 2, "[[") == 0) {
            const auto end = s.find("]]", i);
            if (end == std::string::npos) Die(where + ": '[[' without ']]'");
            const std::string inner = s.substr(i + 2, end - i - 2);
            const auto bar = inner.find('|');
            const std::string anchor = inner.substr(0, bar);
            const std::string text = bar == std::string::npos ? anchor : inner.substr(bar + 1);
            auto it = anchors.number.find(anchor);
            if (it == anchors.number.end()) Die(where + ": a link to the unknown anchor " + anchor);
            if (html)
                out += "<a href=\"#" + anchor + "\">" + Escape(text) + "</a>";
            else
                out += it->second.empty() ? text : text + " (section " + it->second + ")";
            i = end + 2;
        } else if (s[i] == '`') {
            const auto end = s.find('`', i + 1);
            if (end == std::string::npos) Die(where + ": '`' without its partner");
            const std::string code = s.substr(i + 1, end - i - 1);
            out += html ? "<code>" + Escape(code) + "</code>" : code;
            i = end + 1;
        } else {
            out += html ? Escape(std::string(1, s[i])) : std::string(1, s[i]);
            ++i;
        }
    }
    return out;
}

// ---- pictures -----------------------------------------------------------------------------

std::string Base64(const std::string& bytes) {
    static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t v = (std::uint8_t(bytes[i]) << 16) | (std::uint8_t(bytes[i + 1]) << 8) | std::uint8_t(bytes[i + 2]);
        out += {k[v >> 18], k[(v >> 12) & 63], k[(v >> 6) & 63], k[v & 63]};
    }
    if (i + 1 == bytes.size()) {
        const std::uint32_t v = std::uint8_t(bytes[i]) << 16;
        out += {k[v >> 18], k[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const std::uint32_t v = (std::uint8_t(bytes[i]) << 16) | (std::uint8_t(bytes[i + 1]) << 8);
        out += {k[v >> 18], k[(v >> 12) & 63], k[(v >> 6) & 63], '='};
    }
    return out;
}

std::uint32_t BigEndian32(const std::string& b, std::size_t at) {
    return (std::uint32_t(std::uint8_t(b[at])) << 24) | (std::uint32_t(std::uint8_t(b[at + 1])) << 16) |
           (std::uint32_t(std::uint8_t(b[at + 2])) << 8) | std::uint8_t(b[at + 3]);
}

// ---- HTML -----------------------------------------------------------------------------------

std::string Html(const std::vector<Block>& blocks, const Anchors& anchors, const std::string& pictures) {
    std::string title;
    for (const auto& b : blocks)
        if (b.kind == Block::Title) title = b.text;
    std::string h =
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" \"http://www.w3.org/TR/html4/strict.dtd\">\n"
        "<html lang=\"en\">\n<head>\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
        "<title>" + Escape(title) + "</title>\n"
        "<style type=\"text/css\">\n"
        "body { font-family: sans-serif; line-height: 1.4; max-width: 52em; margin: 1em auto; padding: 0 1em; color: #111; }\n"
        "h1 { border-bottom: 2px solid #335; } h2 { border-bottom: 1px solid #99a; margin-top: 2em; }\n"
        "table { border-collapse: collapse; margin: 0.5em 0; } th, td { border: 1px solid #aab; padding: 0.2em 0.5em; "
        "vertical-align: top; text-align: left; }\n"
        "th { background: #e8e8f0; } code { background: #f0f0f0; padding: 0 0.2em; }\n"
        "div.picture { margin: 1em 0; } div.picture img { max-width: 100%; height: auto; border: 1px solid #888; }\n"
        "p.caption { font-size: 90%; color: #444; margin-top: 0.2em; }\n"
        "div.toc { background: #f6f6fa; border: 1px solid #ccd; padding: 0.5em 1em; }\n"
        "div.toc h2 { margin-top: 0.3em; } div.toc ul { margin: 0.2em 0; } p.top { font-size: 90%; text-align: right; }\n"
        "</style>\n</head>\n<body>\n";
    bool tocDone = false;
    auto toc = [&] {
        h += "<div class=\"toc\">\n<h2>Contents</h2>\n<ul>\n";
        bool inSub = false;
        for (const auto& b : blocks) {
            if (b.kind == Block::Section) {
                if (inSub) h += "</ul></li>\n";
                h += "<li><a href=\"#" + b.anchor + "\">" + b.number + ". " + Escape(b.text) + "</a>";
                inSub = false;
                // Close the item now unless subsections follow.
                const auto next = (&b - blocks.data()) + 1;
                bool hasSub = false;
                for (std::size_t k = next; k < blocks.size(); ++k) {
                    if (blocks[k].kind == Block::Section) break;
                    if (blocks[k].kind == Block::Subsection) hasSub = true;
                }
                if (hasSub) {
                    h += "\n<ul>\n";
                    inSub = true;
                } else {
                    h += "</li>\n";
                }
            } else if (b.kind == Block::Subsection) {
                h += "<li><a href=\"#" + b.anchor + "\">" + b.number + " " + Escape(b.text) + "</a></li>\n";
            }
        }
        if (inSub) h += "</ul></li>\n";
        h += "</ul>\n</div>\n";
        tocDone = true;
    };
    int pictureNo = 0;
    for (const auto& b : blocks) {
        const std::string where = "block " + b.number + " " + b.text.substr(0, 30);
        switch (b.kind) {
            case Block::Title:
                h += "<h1><a name=\"" + b.anchor + "\">" + Escape(b.text) + "</a></h1>\n";
                break;
            case Block::Section:
                if (!tocDone)
                    toc();
                else
                    h += "<p class=\"top\"><a href=\"#Top\">Back to the top</a></p>\n";
                h += "<h2><a name=\"" + b.anchor + "\">" + b.number + ". " + Escape(b.text) + "</a></h2>\n";
                break;
            case Block::Subsection:
                h += "<h3><a name=\"" + b.anchor + "\">" + b.number + " " + Escape(b.text) + "</a></h3>\n";
                break;
            case Block::Paragraph:
                h += "<p>" + Inline(b.text, anchors, true, where) + "</p>\n";
                break;
            case Block::Bullets:
                h += "<ul>\n";
                for (const auto& item : b.items) h += "<li>" + Inline(item, anchors, true, where) + "</li>\n";
                h += "</ul>\n";
                break;
            case Block::Table:
                {
                    std::string summary;
                    for (const auto& c : b.rows.front()) summary += (summary.empty() ? "" : ", ") + Inline(c, anchors, false, where);
                    h += "<table summary=\"" + Escape(summary) + "\">\n";
                }
                for (std::size_t r = 0; r < b.rows.size(); ++r) {
                    const char* cell = r < b.headerRows ? "th" : "td";
                    h += "<tr>";
                    for (const auto& c : b.rows[r])
                        h += std::string("<") + cell + ">" + Inline(c, anchors, true, where) + "</" + cell + ">";
                    h += "</tr>\n";
                }
                h += "</table>\n";
                break;
            case Block::Picture: {
                const std::string png = ReadFile(pictures + "/" + b.items[0]);
                if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || png.compare(12, 4, "IHDR") != 0)
                    Die(b.items[0] + " is not a PNG picture");
                ++pictureNo;
                h += "<div class=\"picture\"><img src=\"data:image/png;base64," + Base64(png) + "\" width=\"" +
                     std::to_string(BigEndian32(png, 16)) + "\" height=\"" + std::to_string(BigEndian32(png, 20)) +
                     "\" alt=\"" + Escape(b.text) + "\">\n<p class=\"caption\">Picture " + std::to_string(pictureNo) +
                     ": " + Escape(b.text) + "</p></div>\n";
                break;
            }
        }
    }
    h += "<p class=\"top\"><a href=\"#Top\">Back to the top</a></p>\n</body>\n</html>\n";
    return h;
}

// ---- plain text -------------------------------------------------------------------------------

// Wraps `text` to kTextWidth: the first line starts with `first`, the others with `rest`.
std::string Wrap(const std::string& text, const std::string& first, const std::string& rest,
                 std::size_t width = kTextWidth) {
    std::string out, line = first;
    bool empty = true;
    std::istringstream words(text);
    std::string w;
    while (words >> w) {
        if (!empty && line.size() + 1 + w.size() > width) {
            out += line + "\n";
            line = rest;
            empty = true;
        }
        line += (empty ? "" : " ") + w;
        empty = false;
    }
    return out + line + "\n";
}

std::string Text(const std::vector<Block>& blocks, const Anchors& anchors) {
    std::string t;
    bool tocDone = false;
    int pictureNo = 0;
    for (const auto& b : blocks) {
        const std::string where = "block " + b.number;
        switch (b.kind) {
            case Block::Title:
                t += b.text + "\n" + std::string(b.text.size(), '=') + "\n\n";
                break;
            case Block::Section: {
                if (!tocDone) {
                    t += "Contents\n--------\n\n";
                    for (const auto& c : blocks) {
                        if (c.kind == Block::Section) t += "  " + c.number + ". " + c.text + "\n";
                        if (c.kind == Block::Subsection) t += "      " + c.number + " " + c.text + "\n";
                    }
                    t += "\n";
                    tocDone = true;
                }
                const std::string heading = b.number + ". " + b.text;
                t += "\n" + heading + "\n" + std::string(heading.size(), '-') + "\n\n";
                break;
            }
            case Block::Subsection:
                t += b.number + " " + b.text + "\n\n";
                break;
            case Block::Paragraph:
                t += Wrap(Inline(b.text, anchors, false, where), "", "") + "\n";
                break;
            case Block::Bullets:
                for (const auto& item : b.items) t += Wrap(Inline(item, anchors, false, where), "  - ", "    ");
                t += "\n";
                break;
            case Block::Table: {
                std::vector<std::vector<std::string>> rows;
                for (const auto& r : b.rows) {
                    std::vector<std::string> cells;
                    for (const auto& c : r) cells.push_back(Inline(c, anchors, false, where));
                    rows.push_back(cells);
                }
                const std::size_t n = rows.front().size();
                std::vector<std::size_t> width(n, 0);
                for (const auto& r : rows)
                    for (std::size_t c = 0; c + 1 < n; ++c) width[c] = std::max(width[c], r[c].size());
                std::size_t fixed = 2;
                for (std::size_t c = 0; c + 1 < n; ++c) fixed += width[c] + 2;
                if (fixed + 24 <= kTextWidth) {
                    // Columns side by side, the last one wrapped.
                    for (std::size_t r = 0; r < rows.size(); ++r) {
                        std::string lead = "  ";
                        for (std::size_t c = 0; c + 1 < n; ++c) lead += rows[r][c] + std::string(width[c] + 2 - rows[r][c].size(), ' ');
                        t += Wrap(rows[r][n - 1], lead, std::string(fixed, ' '));
                        if (r + 1 == b.headerRows) t += "  " + std::string(kTextWidth - 2, '-') + "\n";
                    }
                } else {
                    // Too wide: each row as its own item.
                    for (std::size_t r = b.headerRows; r < rows.size(); ++r) {
                        std::string item;
                        for (std::size_t c = 0; c < n; ++c) {
                            const std::string head = b.headerRows ? rows[0][c] + ": " : "";
                            item += (c ? "; " : "") + head + rows[r][c];
                        }
                        t += Wrap(item, "  - ", "    ");
                    }
                }
                t += "\n";
                break;
            }
            case Block::Picture:
                t += Wrap("[Picture " + std::to_string(++pictureNo) + " in the help page: " + b.text + "]", "", "") + "\n";
                break;
        }
    }
    // Plain-text documents are read by every editor; they get CR LF line ends.
    std::string crlf;
    for (char c : t) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return crlf;
}

Anchors CollectAnchors(std::vector<Block>& blocks) {
    Anchors a;
    for (auto& b : blocks) {
        if (b.kind != Block::Title && b.kind != Block::Section && b.kind != Block::Subsection) continue;
        if (b.anchor.empty()) {
            b.anchor = "s" + b.number;
            for (auto& c : b.anchor)
                if (c == '.') c = '_';
        }
        for (char c : b.anchor)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-')
                Die("the anchor '" + b.anchor + "' has a character other than letters, digits, '_' and '-'");
        if (!a.number.emplace(b.anchor, b.number).second) Die("the anchor " + b.anchor + " is used twice");
    }
    return a;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) Die("usage: helpgen MANUAL_SOURCE README_SOURCE PICTURE_FOLDER OUT_FOLDER");
    const std::string out = argv[4];
    auto manual = Parse(ReadFile(argv[1]), argv[1]);
    Anchors anchors = CollectAnchors(manual);
    WriteFile(out + "/tarvexhelp.htm", Html(manual, anchors, argv[3]));
    WriteFile(out + "/MANUAL.TXT", Text(manual, anchors));
    auto readme = Parse(ReadFile(argv[2]), argv[2]);
    Anchors readmeAnchors = CollectAnchors(readme);
    WriteFile(out + "/README.TXT", Text(readme, readmeAnchors));
    return 0;
}
