#pragma once

#include <filesystem>
#include <string>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcxfer.h"
#include "dcmtk/ofstd/oftypes.h"

// DICOM objects for tests: made, written and read back with DCMTK.
namespace veltrona::dicom::testing {

// A loopback TCP port that was free a moment ago.
int freePort();

// Writes a square secondary-capture image of `side` x `side` 8-bit pixels in `syntax`;
// returns its SOP Instance UID.
std::string writeImage(const std::filesystem::path& path, Uint16 side = 8,
                       E_TransferSyntax syntax = EXS_LittleEndianExplicit);

struct StoredObject {
    std::string instance;        // SOP Instance UID; empty when the file is no DICOM file
    std::string transferSyntax;  // of the file's meta header
};
StoredObject readStored(const std::filesystem::path& path);

}  // namespace veltrona::dicom::testing
