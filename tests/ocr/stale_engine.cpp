// A recogniser module of another interface, which the programs must refuse to call.
#include "ocr/engine.h"

extern "C" __attribute__((visibility("default"))) const ocr::EngineEntry vantorel_ocr_engine = {
    ocr::kEngineInterface + 1, nullptr};
