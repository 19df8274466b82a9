// tarvex-cli text, and the recognition options export shares with it.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "export/fax_export.h"
#include "ocr/fax_text.h"

namespace cli {

int TextCommand(const std::vector<std::string>& args);

namespace {
const char* const kTextOptions[] = {"--page", "--lang", nullptr};
}  // namespace

std::vector<Command> TextCommands() {
    return {
        {"text", 1, 5, TextCommand,
         "text FAX [--page N] [--lang L]  the recognised text of every page (or page N), pages parted by form feeds",
         kTextOptions},
    };
}

std::string TakeTextOptions(std::vector<std::string>& args, TextOptions& text, bool needsOcr) {
    std::vector<std::string> rest;
    bool lang = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--ocr") {
            text.ocr = true;
        } else if (args[i] == "--lang") {
            if (i + 1 >= args.size()) return "--lang lacks its value";
            text.language = args[++i];
            lang = true;
        } else {
            rest.push_back(args[i]);
        }
    }
    if (lang && needsOcr && !text.ocr) return "--lang goes with --ocr";
    args = std::move(rest);
    return {};
}

std::string OpenRecognizer(const TextOptions& text, std::unique_ptr<ocr::Recognizer>& recognizer) {
    recognizer.reset();
    if (!text.ocr) return {};
    auto r = std::make_unique<ocr::Recognizer>(text.language);
    if (ocr::Result opened = r->Open(); !opened.ok()) return opened.message;
    recognizer = std::move(r);
    return {};
}

std::string ExportFax(const std::string& fax, const std::string& tif, const std::string& pdf,
                      ocr::Recognizer* recognizer, fax::ExportResult& r) {
    fax::ExportOptions options;
    std::optional<ocr::FaxPageWords> words;
    if (recognizer) options.pageWords = std::ref(words.emplace(*recognizer, fax));
    r = fax::ConvertFaxToTifPdf(fax, tif, pdf, options);
    if (r.ok()) return {};
    if (!r.refusal.empty()) return r.refusal;
    std::string message = ExportFailure(r);
    if (words && !words->result().ok()) message += "\n" + words->result().message;
    return message;
}

int TextCommand(const std::vector<std::string>& given) {
    std::vector<std::string> rest = given, args;
    TextOptions text;
    text.ocr = true;
    unsigned only = 0;
    std::string why = TakeTextOptions(rest, text, false);
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != "--page") args.push_back(rest[i]);
        else if (i + 1 >= rest.size() || !ParsePage(rest[++i], only)) why = "--page takes a page number";
    }
    if (why.empty() && args.size() != 1) why = "give one fax";
    if (!why.empty()) {
        std::fprintf(stderr, "text: %s\nusage: tarvex-cli text FAX [--page N] [--lang L]\n", why.c_str());
        return kUsage;
    }
    const std::string& path = args[0];
    if (std::string cannot = OpenFax(path); !cannot.empty()) return Fail(cannot);
    unsigned pages = 0;
    if (ocr::Result counted = ocr::FaxPageCount(path, pages); !counted.ok()) return Fail(counted.message);
    std::unique_ptr<ocr::Recognizer> recognizer;
    if (std::string cannot = OpenRecognizer(text, recognizer); !cannot.empty()) return Fail(cannot);
    const unsigned first = only ? only : 1, last = only ? only : pages;
    for (unsigned n = first; n <= last; ++n) {
        std::vector<ocr::Word> words;
        if (ocr::Result r = ocr::RecognizeFaxPage(*recognizer, path, n, words); !r.ok()) return Fail(r.message);
        std::fputs(((n > first ? "\f" : "") + ocr::PageText(words)).c_str(), stdout);
        std::fflush(stdout);
    }
    return kOk;
}

}  // namespace cli
