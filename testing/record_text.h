// The record text form written from a jsoncpp document tree: the reference that the tests
// hold the application's record writers (records/record_text_writer.h) against, byte for byte.
// Test code only; nothing shipped writes a record this way.
#pragma once

#include <json/json.h>

#include <string>

// The document in the record text form. Strings (values and keys) are written byte for byte
// up to their first zero byte; only '"', '\\' and bytes below 0x20 are escaped, so locale text
// with bytes above 0x7F stays as it is. Comments that a document may carry are not written.
std::string toRecordText(const Json::Value& document);
