// Barcode records for the tests and benchmarks, built as bytes. The layout is written out here
// on purpose, apart from the program's constants: an independent copy, so that a wrong constant
// in the program fails the tests instead of moving with them.
#pragma once

#include <algorithm>
#include <string>

// A 1024-byte record of zero bytes with the serial text at byte 104 and the ISN text at byte
// 251; an ISN too long for the record is cut at its end.
inline std::string record_with(const std::string& serial, const std::string& isn) {
    std::string record(1024, '\0');
    record.replace(104, serial.size(), serial);
    record.replace(251, std::min(isn.size(), record.size() - 251), isn);
    return record;
}
