// The record text form: the one text form of every record file. Tab indentation, object
// members sorted by the bytes of their keys, " : " between key and value, every non-empty
// array one element per line, reals with 17 significant digits and always a point or an
// exponent, CR LF line breaks, nothing after the document's last byte.
#pragma once

#include <json/json.h>

#include <string>

// The document in the record text form. Strings (values and keys) are written byte for byte
// up to their first zero byte; only '"', '\\' and bytes below 0x20 are escaped, so locale text
// with bytes above 0x7F stays as it is. Comments that a document may carry are not written.
std::string toRecordText(const Json::Value& document);
