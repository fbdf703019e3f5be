#pragma once

#include "station/Dataset.h"

#include <stdexcept>

// A failed export; the text says what failed and why.
class ExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One export format, fed the datasets one at a time in history order. Nothing counts as written
// before Finish returned; a writer destroyed without Finish leaves no partial result it can undo.
// Failures throw ExportError.
class ExportFormatWriter {
public:
    virtual ~ExportFormatWriter() = default;
    virtual void Add(const CDataset& dataset) = 0;
    virtual void Finish() = 0;
};
