// Record lines of the data CSVs: key="..."; value="..."; enabled="...".
#pragma once

#include <string>
#include <string_view>

namespace records {

// Records with a fixed role.
inline constexpr char kVersion3Marker[] = "D40X0U2T2C17L1R1";
inline constexpr char kDataVersion[] = "D40X0U2T2C13L18R1";
inline constexpr char kApplicationId[] = "D40X0U3T3C2L1R1";

// The record key: the text between a leading key=" and the next ". Empty for a line that does
// not open with key=", so a value can never be taken for a key. The view points into line.
std::string_view Key(const std::string& line);

// The text after the first value=" up to the next " (at most 255 characters examined).
std::string Value(const std::string& line);

// The line of the data version record for the given version.
std::string DataVersionLine(const std::string& version);

}  // namespace records
