// tarvex-cli commands of this subsystem: render, the page surface as the viewer builds it.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "formats/fax_reader.h"
#include "render/page_png.h"
#include "render/zoom.h"

namespace cli {

int Render(const std::vector<std::string>& args);

namespace {
const char* const kRenderOptions[] = {"--desktop-width", "--zoom", nullptr};
}  // namespace

std::vector<Command> ViewerCommands() {
    return {
        {"render", 3, 7, Render,
         "render FAX PAGE OUT.png [--desktop-width W] [--zoom default|25|37|40|42|44|46|50|60|75|80|90|100]\n"
         "                                page PAGE as the viewer shows it, as a grey PNG (desktop 1024, Default Size)",
         kRenderOptions},
    };
}

namespace {

constexpr int kMaxDesktopWidth = 100000;

int RenderUsage(const char* why) {
    std::fprintf(stderr, "render: %s\nusage: tarvex-cli render FAX PAGE OUT.png [--desktop-width W] [--zoom "
                         "default|25|37|40|42|44|46|50|60|75|80|90|100]\n", why);
    return kUsage;
}

bool ParseWidth(const std::string& text, int& width) {
    long n = 0;
    if (!ParseWhole(text, 1, kMaxDesktopWidth, n)) return false;
    width = static_cast<int>(n);
    return true;
}

// "default" or a percentage of the Zoom menu; the command id it stands for.
bool ParseZoom(const std::string& text, int& command) {
    if (text == "default") {
        command = view::kZoomDefaultCommand;
        return true;
    }
    for (int id = view::kZoomDefaultCommand + 1; id <= view::kZoomLastCommand; ++id)
        if (std::to_string(view::ZoomPercent(id)) == text) {
            command = id;
            return true;
        }
    return false;
}

}  // namespace

int Render(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    int desktop = view::kDefaultDesktopWidth;
    int command = view::kZoomDefaultCommand;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--desktop-width" || a == "--zoom") {
            if (i + 1 >= args.size()) return RenderUsage("an option lacks its value");
            const std::string& v = args[++i];
            if (a == "--desktop-width" ? !ParseWidth(v, desktop) : !ParseZoom(v, command))
                return RenderUsage(("bad value for " + a + ": " + v).c_str());
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            return RenderUsage(("unknown option " + a).c_str());
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 3) return RenderUsage("FAX, PAGE and OUT.png are needed");
    unsigned number = 0;
    if (!ParsePage(positional[1], number)) return RenderUsage("PAGE must be a page number from 1");
    const std::string& path = positional[0];
    const std::string& out = positional[2];
    if (std::string same = SameFileRefusal(path, out); !same.empty()) return Fail(same);

    // Start-up's Default Size differs from the menu's only in its height divisor.
    view::Zoom zoom = view::DefaultSizeAtStartup(desktop);
    if (command != view::kZoomDefaultCommand) view::ZoomForCommand(desktop, command, zoom);

    fax::FaxReader reader;
    if (FaxProblem p = OpenFax(path, reader)) return Fail(p.Message(path));
    view::PagePng png = view::WritePagePng(reader, number, zoom, out);
    if (png.outcome.error != fax::PageError::None)
        return Fail(PageProblem(reader, png.outcome.page, png.outcome.error).Message(path));
    if (!png.ok()) return Fail(png.error);  // memory, or the PNG could not be written
    std::fprintf(ReportStream(out), "page %u of %u\nwidth %d\nheight %lld\n", png.outcome.page, reader.pageCount(),
                 png.width, static_cast<long long>(png.height));
    ReportWritten(out);
    return kOk;
}

}  // namespace cli
