#include "ocr/fax_text.h"

#include "formats/fax_reader.h"
#include "formats/pcx.h"
#include "formats/picture.h"

namespace ocr {

namespace {

Result Unreadable(const std::string& path, fax::PageError error) {
    return {Status::FaxUnreadable, "Can not read the fax:\n" + path + "\n" + fax::PageErrorText(error)};
}

}  // namespace

Result FaxPageCount(const std::string& path, unsigned& pages) {
    fax::FaxReader reader;
    if (!reader.Open(path)) return Unreadable(path, fax::PageError::ReadFailed);
    if (fax::PageError e = reader.ReadLayout(); e != fax::PageError::None) return Unreadable(path, e);
    pages = reader.pageCount();
    return {};
}

Result RecognizeFaxPage(Recognizer& recognizer, const std::string& path, unsigned number, std::vector<Word>& words,
                        const std::atomic<bool>* cancel, fax::RunAtLineEnd mode) {
    words.clear();
    fax::FaxReader reader;
    if (!reader.Open(path)) return Unreadable(path, fax::PageError::ReadFailed);
    if (fax::PageError e = reader.ReadLayout(); e != fax::PageError::None) return Unreadable(path, e);
    if (number < 1 || number > reader.pageCount())
        return {Status::NoSuchPage, "The fax " + path + " has no page " + std::to_string(number) + "; it has " +
                                        std::to_string(reader.pageCount()) + "."};
    fax::FaxReader::Page page;
    if (fax::PageError e = reader.LoadPage(number, page); e != fax::PageError::None) return Unreadable(path, e);
    if (page.picture) return {Status::NotAFaxPage, fax::PictureRefusal(path, page.number)};

    std::vector<std::uint8_t> pixels;
    std::uint32_t lines = 0;
    if (!fax::ReadWholePage(reader.file(), page, pixels, lines, mode))
        return Unreadable(path, fax::PageError::ReadFailed);
    if (lines == 0) return {};  // no complete line: nothing to read
    PageBits bits;
    bits.lines = pixels.data();
    bits.width = static_cast<std::uint32_t>(page.bytesPerLine) * 8u;
    bits.height = lines;
    bits.bytesPerLine = page.bytesPerLine;
    bits.xdpi = fax::ReadLe16(&page.header.bytes[fax::PcxHeader::kHDpi]);
    bits.ydpi = fax::ReadLe16(&page.header.bytes[fax::PcxHeader::kVDpi]);
    return recognizer.RecognizePage(bits, words, cancel);
}

bool FaxPageWords::operator()(unsigned index, std::vector<Word>& words) {
    if (cancel_ && cancel_->load()) result_ = {Status::Cancelled, "Text recognition was cancelled."};
    else result_ = RecognizeFaxPage(recognizer_, path_, index + 1, words, cancel_, fax::RunAtLineEnd::Drop);
    return result_.ok();
}

std::string PageText(const std::vector<Word>& words) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) {
            if (words[i].block != words[i - 1].block) text += "\n\n";
            else text += words[i].line != words[i - 1].line ? "\n" : " ";
        }
        text += words[i].utf8;
    }
    return words.empty() ? text : text + "\n";
}

}  // namespace ocr
