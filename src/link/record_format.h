// Decoded records as text: a JSON object of the record's fields, and a compact
// "name=value name=value" line for people. Both walk the record's visit().
#pragma once

#include "link/records.h"

#include <string>
#include <string_view>

namespace vx {

// Appends the record of the given kind as one JSON object: {"field":value,...} in layout order.
// Integers as JSON integers; float and double with the shortest digits that read back to the
// same value, NaN and infinities as null; arrays as JSON arrays; nested records as objects;
// text as a JSON string (control characters, '"', '\\' and bytes 0x7F..0xFF escaped as
// \u00XX, so every byte survives). Kind None appends {}.
void writeRecordJson(std::string& out, const RecordArea& area, RecordKind kind);
void writeRecordJson(std::string& out, const RecordSnapshot& record);

// Appends the record as "name=value name=value ...": flags, status bytes, codes, validity
// bytes and bit masks in hexadecimal (0x2A, 0x00001000), other integers in decimal, reals with
// the shortest round-trip digits, byte arrays as contiguous hex digits ("0A1BFF"), other arrays
// as [a,b,c], nested records as name.field=value (name[i].field for arrays), text quoted with
// the JSON escapes. Kind None appends nothing.
void writeRecordText(std::string& out, const RecordArea& area, RecordKind kind);
void writeRecordText(std::string& out, const RecordSnapshot& record);

// Appends s as a quoted JSON string with the escapes described above.
void appendJsonString(std::string& out, std::string_view s);

} // namespace vx
