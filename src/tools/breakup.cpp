#include "tools/breakup.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace fax {

bool CopyRange(File& source, std::uint64_t length, File& out, std::uint8_t* buffer, std::size_t bufferSize) {
    while (length > 0) {
        std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(length, bufferSize));
        if (source.Read(buffer, piece) != static_cast<std::int64_t>(piece)) return false;
        if (!out.WriteAll(buffer, piece)) return false;
        length -= piece;
    }
    return true;
}

CopyStatus CopyPageToFile(File& source, const PageExtent& extent, const std::string& target,
                          std::uint8_t* buffer, std::size_t bufferSize) {
    if (!source.Seek(extent.offset)) return CopyStatus::CopyFailed;
    // A page file that cannot be finished is not left behind, not even empty.
    AtomicFile out(target);
    if (!out.Open()) return CopyStatus::CreateFailed;
    if (!CopyRange(source, extent.length, out.file(), buffer, bufferSize)) return CopyStatus::CopyFailed;
    return out.Commit() ? CopyStatus::Ok : CopyStatus::CopyFailed;
}

std::string CutSeed(std::string_view typed) {
    std::size_t chars = 0, end = 0;
    for (; end < typed.size(); ++end) {
        bool continuation = (static_cast<unsigned char>(typed[end]) & 0xC0) == 0x80;
        if (!continuation && chars++ == kSeedChars) break;
    }
    return std::string(typed.substr(0, end));
}

BreakUp::BreakUp(std::string dataDir)
    : dataDir_(std::move(dataDir)), buffer_(new (std::nothrow) std::uint8_t[kPageCopyBuffer]()) {}

ToolMessage BreakUp::NoMemoryMessage() {
    return {kBreakUpTitle, "Not enough Memory to do a BreakUp.", MessageIcon::Error};
}

ToolMessage BreakUp::OverwriteQuestionFor(const std::string& name) {
    return {kBreakUpTitle, name + "\nAlready exists!\nOverwrite it?(N/y)", MessageIcon::Question};
}

namespace {
ToolMessage NotDcxMessage(const std::string& path) {
    return {kBreakUpTitle, path + "\nis not a valid dcx file", MessageIcon::Error};
}
ToolMessage DamagedMessage(const DcxPages& pages) { return {kBreakUpTitle, pages.damage, MessageIcon::Error}; }
}  // namespace

BreakUp::Inspection BreakUp::Inspect(const std::string& source) const {
    Inspection result;
    File file = File::OpenRead(source);
    if (!file) {
        result.message = {kBreakUpTitle, "File Path\\Name:\n" + source + "\ndoes not exist.", MessageIcon::Information};
        return result;
    }
    DcxPages pages = ReadDcxPages(file, source);
    if (pages.status == DcxPages::Status::NotDcx) {
        result.message = NotDcxMessage(source);
        return result;
    }
    if (pages.status == DcxPages::Status::Damaged) {
        result.message = DamagedMessage(pages);
        return result;
    }
    result.ok = true;
    result.pages = static_cast<unsigned>(pages.extents.size());
    return result;
}

std::string BreakUp::NameFor(std::string_view seed, unsigned number) const {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04u", number);
    return dataDir_ + "/" + std::string(seed) + digits + ".pcx";
}

BreakUp::Result BreakUp::Run(const std::string& source, std::string_view typedSeed,
                             const OverwriteQuestion& overwrite, const Progress& progress) {
    Result result;
    auto finish = [&](Outcome outcome, ToolMessage message) {
        result.outcome = outcome;
        result.messages.push_back(std::move(message));
        return result;
    };
    if (!buffer_) return finish(Outcome::Closed, NoMemoryMessage());
    std::string seed = CutSeed(typedSeed);
    // The seed becomes part of a file name inside Data; a slash would lead elsewhere.
    if (seed.find('/') != std::string::npos)
        return finish(Outcome::StayOpen,
                      {kBreakUpTitle, "The seed \"" + seed + "\" can not be part of a file name.", MessageIcon::Error});

    File file = File::OpenRead(source);
    if (!file)
        return finish(Outcome::Closed, {kBreakUpTitle, "File Path\\Name:\n" + source + "\n does not exist.",
                                        MessageIcon::Error});
    DcxPages pages = ReadDcxPages(file, source);
    if (pages.status == DcxPages::Status::NotDcx) return finish(Outcome::Closed, NotDcxMessage(source));
    if (pages.status == DcxPages::Status::Damaged) return finish(Outcome::Closed, DamagedMessage(pages));

    for (const PageExtent& extent : pages.extents) {
        std::string name = NameFor(seed, sequence_++);
        if (progress) progress(name);
        if (SameFile(name, source))
            return finish(Outcome::StayOpen, {kBreakUpTitle, "Can not Create:\n" + name + "\nIt is the fax being split.",
                                              MessageIcon::Error});
        if (FileExists(name) && !(overwrite && overwrite(OverwriteQuestionFor(name)))) {
            result.outcome = Outcome::Declined;
            return result;
        }
        switch (CopyPageToFile(file, extent, name, buffer_.get(), kPageCopyBuffer)) {
            case CopyStatus::Ok:
                result.written.push_back(name);
                break;
            case CopyStatus::CreateFailed:
                return finish(Outcome::StayOpen, {kBreakUpTitle, "Can not Create:\n" + name, MessageIcon::Error});
            case CopyStatus::CopyFailed:
                return finish(Outcome::Closed, {kBreakUpTitle, "BU1, Could not write:\n" + name + "\nDisk may be full...",
                                                MessageIcon::Error});
        }
    }
    result.outcome = Outcome::Finished;
    return result;
}

}  // namespace fax
