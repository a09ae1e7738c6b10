// Text helpers of the simulated host: UTF-8 at the edges (files, scripts,
// stdout), UTF-16 towards the plug-in.
#pragma once

#include <string>

namespace talkeo_sim {

std::string ToUtf8(const std::wstring& s);
std::wstring FromUtf8(const std::string& s);

// "..." with the escapes \\ \" \n \r \t and \uXXXX for other control
// characters; used by the record store and by the script language.
std::string QuoteText(const std::wstring& s);
// Undoes QuoteText on a whole quoted token; false when it is malformed.
bool UnquoteText(const std::string& quoted, std::wstring& out);

}  // namespace talkeo_sim
