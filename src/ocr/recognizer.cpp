#include "ocr/recognizer.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "ocr/engine.h"

namespace fs = std::filesystem;

namespace ocr {

namespace {

constexpr const char* kDataSuffix = ".traineddata";
const char* const kSystemDataPaths[] = {
    "/usr/share/tesseract-ocr/5/tessdata",
    "/usr/share/tesseract-ocr/4.00/tessdata",
    "/usr/share/tessdata",
    "/usr/local/share/tessdata",
};

bool ValidLanguage(const std::string& language, std::vector<std::string>& names) {
    if (language.empty() || language.size() > kMaxLanguageText) return false;
    std::string name;
    for (std::size_t i = 0; i <= language.size(); ++i) {
        if (i == language.size() || language[i] == '+') {
            if (name.empty()) return false;
            names.push_back(name);
            name.clear();
        } else if (std::isalnum(static_cast<unsigned char>(language[i])) || language[i] == '_') {
            name += language[i];
        } else {
            return false;
        }
    }
    return true;
}

constexpr const char* kEngineVariable = "VANTOREL_OCR_ENGINE";  // a module's full path
constexpr const char* kEngineFile = VANTOREL_OCR_ENGINE_FILE;
constexpr const char* kLibraryRemedy =
    "Install the package libtesseract5 (apt-get install libtesseract5) to recognise text.";
constexpr const char* kReinstallRemedy = "Install Vantorel again to recognise text.";

std::string ProgramFolder() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.parent_path().string();
}

// Where the module may lie, in the order it is looked for: the path given in the
// environment alone; else beside the program (a per-user installation), the build tree's
// own for a program run from the build tree (tests, `make run`; an installed program never
// picks up a developer's module), and the installed library folder beside the program's.
std::vector<std::string> EnginePlaces(bool& given) {
    const char* path = std::getenv(kEngineVariable);
    given = path && *path;
    if (given) return {path};
    std::vector<std::string> places;
    const std::string folder = ProgramFolder();
    if (folder.empty()) return places;
    places.push_back(folder + "/" + kEngineFile);
    const std::string build = VANTOREL_BUILD_DIR "/";
    if ((folder + "/").compare(0, build.size(), build) == 0) places.push_back(VANTOREL_OCR_ENGINE_BUILD);
    places.push_back((fs::path(folder) / VANTOREL_OCR_ENGINE_INSTALLED / kEngineFile).lexically_normal().string());
    return places;
}

std::string LoadFailure() {
    const char* why = ::dlerror();
    return why ? why : "unknown reason";
}

// The module is loaded once and stays for the life of the process: the recogniser's
// libraries keep threads and caches that may outlive any one recogniser.
Result LoadEngine(const EngineEntry*& entry) {
    static std::mutex lock;
    static const EngineEntry* loaded = nullptr;
    const std::lock_guard<std::mutex> hold(lock);
    if (loaded) {
        entry = loaded;
        return {};
    }
    bool given = false;
    const std::vector<std::string> places = EnginePlaces(given);
    std::string path;
    std::error_code ec;
    for (const std::string& place : places)
        if (given || fs::exists(place, ec)) {
            path = place;
            break;
        }
    if (path.empty()) {
        std::string folders;
        for (const std::string& place : places) folders += "\n" + fs::path(place).parent_path().string();
        return {Status::NoEngine, std::string("The text recogniser ") + kEngineFile + " is in none of these folders:" +
                                      folders + "\n" + kReinstallRemedy};
    }
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        // The reason names the module when the fault is the module's own, else the library
        // it needs that is missing.
        const std::string why = LoadFailure();
        const bool own = why.compare(0, path.size() + 1, path + ":") == 0;
        return {Status::NoEngine,
                "The text recogniser could not be loaded: " + why + "\n" + (own ? kReinstallRemedy : kLibraryRemedy)};
    }
    const auto* found = static_cast<const EngineEntry*>(::dlsym(module, kEngineEntryName));
    std::string misfit;
    if (!found)
        misfit = "it is no text recogniser of Vantorel";
    else if (found->interface != kEngineInterface || !found->create)
        misfit = "it was built for interface " + std::to_string(found->interface) + ", this program needs " +
                 std::to_string(kEngineInterface);
    if (!misfit.empty()) {
        ::dlclose(module);
        return {Status::NoEngine, "The text recogniser " + path + " does not fit this program: " + misfit + ".\n" +
                                      kReinstallRemedy};
    }
    loaded = entry = found;
    return {};
}

}  // namespace

std::string DefaultDataPath() {
    if (const char* env = std::getenv("TESSDATA_PREFIX"); env && *env) return env;
    std::error_code ec;
    for (const char* p : kSystemDataPaths)
        if (fs::is_directory(p, ec)) return p;
    return {};
}

std::vector<std::string> InstalledLanguages(const std::string& dataPath) {
    std::vector<std::string> names;
    std::error_code ec;
    if (dataPath.empty()) return names;
    for (fs::directory_iterator it(dataPath, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        const std::size_t suffix = std::strlen(kDataSuffix);
        std::vector<std::string> one;
        if (file.size() > suffix && file.compare(file.size() - suffix, suffix, kDataSuffix) == 0 &&
            it->is_regular_file(ec)) {
            std::string name = file.substr(0, file.size() - suffix);
            if (name != "osd" && ValidLanguage(name, one) && one.size() == 1) names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string LanguagePackage(const std::string& language) {
    std::string package = "tesseract-ocr-";
    for (char c : language)
        package += c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return package;
}

struct Recognizer::Engine {
    explicit Engine(TextEngine* made) : text(made) {}
    ~Engine() { text->Destroy(); }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;
    TextEngine* text;
};

Recognizer::Recognizer(std::string language, std::string dataPath)
    : language_(std::move(language)), dataPath_(dataPath.empty() ? DefaultDataPath() : std::move(dataPath)) {}

Recognizer::~Recognizer() = default;

bool Recognizer::isOpen() const { return engine_ != nullptr; }

Result Recognizer::Open() {
    engine_.reset();
    std::vector<std::string> names;
    if (!ValidLanguage(language_, names))
        return {Status::BadLanguage, "\"" + language_ +
                                         "\" is no language: give names of language data joined by \"+\", such as "
                                         "eng+deu."};
    // The recogniser first: where its library is missing, the package that brings it
    // recommends the language data too.
    const EngineEntry* entry = nullptr;
    if (Result loaded = LoadEngine(entry); !loaded.ok()) return loaded;
    for (const std::string& name : names) {
        std::error_code ec;
        if (!dataPath_.empty() && fs::is_regular_file(fs::path(dataPath_) / (name + kDataSuffix), ec)) continue;
        const std::string package = LanguagePackage(name);
        const std::string where = dataPath_.empty() ? " (no language data folder was found)" : " in " + dataPath_;
        return {Status::NoLanguageData, "No language data for \"" + name + "\"" + where +
                                            ".\nInstall the package " + package + " (apt-get install " + package +
                                            ") to recognise text in it."};
    }
    TextEngine* made = entry->create();
    std::unique_ptr<Engine> engine = made ? std::make_unique<Engine>(made) : nullptr;
    if (!engine || !engine->text->Init(dataPath_.c_str(), language_.c_str()))
        return {Status::InitFailed, "The language data for \"" + language_ + "\" in " + dataPath_ +
                                        " could not be loaded.\nInstall the packages again."};
    engine_ = std::move(engine);
    return {};
}

Result Recognizer::RecognizePage(const PageBits& page, std::vector<Word>& words, const std::atomic<bool>* cancel) {
    words.clear();
    if (!engine_) return {Status::NotOpen, "The text recogniser is not ready."};
    if (!page.lines || page.width == 0 || page.height == 0 || page.bytesPerLine < (page.width + 7u) / 8u ||
        static_cast<std::uint64_t>(page.width) * page.height > kMaxPagePixels)
        return {Status::BadPage, "The page is too large or empty for text recognition."};
    const Status status = engine_->text->Recognise(page, words, cancel);
    if (status == Status::Ok) return {};
    words.clear();
    if (status == Status::Cancelled) return {Status::Cancelled, "Text recognition was cancelled."};
    return {Status::Failed, "The text of the page could not be recognised."};
}

}  // namespace ocr
