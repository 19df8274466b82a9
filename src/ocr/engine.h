// The recogniser proper, kept in a module of its own (tarvex-ocr-engine) that Recognizer
// loads on first use: a program that never recognises text never loads libtesseract and
// its many libraries, and starts where they are not installed. Private to src/ocr; the
// module and faxocr are built from this one header.
#pragma once

#include <atomic>
#include <vector>

#include "ocr/recognizer.h"

namespace ocr {

// Raised whenever TextEngine, EngineEntry or the types they pass (Word, PageBits, Status)
// change, so that a module left from another build is refused, not called.
inline constexpr unsigned kEngineInterface = 1;
// The name of the module's EngineEntry.
inline constexpr const char* kEngineEntryName = "vantorel_ocr_engine";

class TextEngine {
public:
    // Loads the language data ("eng+deu") from `dataPath`; false when it cannot.
    virtual bool Init(const char* dataPath, const char* language) = 0;
    // The words of a page that the caller has checked (lines there, sizes consistent);
    // Ok, Cancelled or Failed, with no words unless Ok.
    virtual Status Recognise(const PageBits& page, std::vector<Word>& words, const std::atomic<bool>* cancel) = 0;
    // The module frees what the module made.
    virtual void Destroy() = 0;

protected:
    ~TextEngine() = default;
};

// What the module exports, under kEngineEntryName. `interface` stays the first member in
// every version, so that any module's can be read.
struct EngineEntry {
    unsigned interface;
    TextEngine* (*create)();  // null when out of memory
};

}  // namespace ocr
