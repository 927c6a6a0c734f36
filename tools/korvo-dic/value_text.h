// The readable form of stored values, for the text dump and beside the exact JSON values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "file_scan.h"

namespace korvo::dic {

// Units of 1/10000 as a decimal: 12345 is "1.2345", -5000 is "-0.5".
std::string CurrencyText(std::int64_t scaled);

// "2024-02-29 13:45:00" for days since 1899-12-30 with the time of day as the fraction (its
// absolute value before that day); nothing outside the years 100 to 9999 or for NaN.
std::optional<std::string> DateText(double days);

// Digits enough that the text reads back as the same double (17) or float (9).
std::string ExactDouble(double value);
std::string ExactFloat(float value);

// One line of the text dump: key, type name and value, separated by tabs.
std::string RecordLine(const FileRecord& record);

} // namespace korvo::dic
