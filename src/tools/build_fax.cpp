#include "tools/build_fax.h"

#include <cerrno>
#include <cstdint>

#include "formats/dcx.h"
#include "formats/file_io.h"
#include "formats/pcx.h"

namespace fax {

ToolMessage FaxExistsQuestion(const std::string& path) {
    return {kProductTitle, path + "\nalready exists!\n\nOverwrite it?(N/y)", MessageIcon::Question};
}

ToolMessage UnableToCreateMessage(const std::string& path) {
    return {kProductTitle,
            "Unable to create:\n" + path + "\n\nIs the path and filename valid?\n\nIs your HardDrive full?.",
            MessageIcon::Error};
}

ToolMessage UnableToOpenMessage(const std::string& path, int error) {
    return {kProductTitle, "Unable to open:\n" + path + "\n" + SystemErrorText(error) + "\nIs your HardDrive full?.",
            MessageIcon::Error};
}

ToolMessage CorruptPageMessage(const std::string& path) {
    return {kProductTitle, "This file:\n" + path + "\nis corrupt and will not be added.", MessageIcon::Error};
}

ToolMessage WriteFailedMessage() {
    return {kProductTitle, "FV2, Could not write. Disk may be full...", MessageIcon::Error};
}

BuildFaxResult BuildFax(const std::string& outPath, const std::vector<std::string>& pageFiles) {
    BuildFaxResult result;
    for (const std::string& path : pageFiles)
        if (SameFile(path, outPath)) {
            result.messages.push_back({kProductTitle, "Unable to create:\n" + outPath +
                                                          "\n\nIt is one of the pages it would be built from.",
                                       MessageIcon::Error});
            return result;
        }
    DcxWriter writer(outPath);
    if (writer.Create() != DcxWriter::Status::Ok) {
        result.messages.push_back(UnableToCreateMessage(outPath));
        return result;
    }
    auto fail = [&](ToolMessage message) {
        writer.Abandon();
        result.outcome = BuildFaxResult::Outcome::Failed;
        result.pages = writer.pages();
        result.messages.push_back(std::move(message));
        return result;
    };

    for (const std::string& path : pageFiles) {
        errno = 0;
        File page = File::OpenRead(path);
        if (!page) return fail(UnableToOpenMessage(path, errno));
        std::int64_t size = page.Size();
        if (size <= static_cast<std::int64_t>(kPcxHeaderSize)) {
            result.messages.push_back(CorruptPageMessage(path));
            continue;
        }
        std::uint8_t header[kPcxHeaderSize];
        if (page.Read(header, sizeof header) != static_cast<std::int64_t>(sizeof header))
            return fail(WriteFailedMessage());
        DcxWriter::Status s = writer.AppendPageHeader(header);
        if (s == DcxWriter::Status::TableFull) {
            result.messages.push_back({kProductTitle, TableFullMessage(outPath), MessageIcon::Error});
            break;
        }
        if (s == DcxWriter::Status::Ok) s = writer.CopyPageData(page);
        if (s == DcxWriter::Status::Ok) s = writer.RewriteTable();
        if (s != DcxWriter::Status::Ok) return fail(WriteFailedMessage());
    }
    result.pages = writer.pages();
    if (writer.Finish() != DcxWriter::Status::Ok) return fail(WriteFailedMessage());
    result.outcome = BuildFaxResult::Outcome::Built;
    return result;
}

}  // namespace fax
