#pragma once

#include "platform/base/TextCompare.h"

#include <string>
#include <string_view>

namespace tolvar::server {

// Writes a name or description so that the client's value decoding shows it
// as it is: a space as "+", a full stop as "%2E". Bytes that the decoding or
// the client's XML reader cannot carry ("+", "%", "<", ">", "&", control
// characters) are dropped.
std::string EncodeDisplayValue(const std::string& text);
void AppendDisplayValue(std::string& out, std::string_view text);

// Percent-encoding for a query value: letters, digits and "-_.~/" stay.
std::string EncodeQueryValue(const std::string& text);
void AppendQueryValue(std::string& out, std::string_view text);

// The path of a save file in a download url: a space becomes "+" and a full
// stop "%2E", as the client decodes the url to name the file it stores;
// other bytes outside letters, digits and "-_~/" become "%XX".
std::string EncodeDownloadPath(const std::string& path);

// Cuts a user's text to what the database can store and show: drops what
// EncodeDisplayValue would drop, and bytes that are not well-formed UTF-8.
std::string CleanText(std::string_view text, std::size_t maxBytes);

bool IsWellFormedUtf8(std::string_view text);

// A save name fit for a file name: CleanText without "/" and "\", without
// leading dots and spaces or trailing spaces; empty when nothing is left.
std::string CleanSaveName(const std::string& name);

using tolvar::CompareNoCase; // the order of the lists, shared with the client

} // namespace tolvar::server
