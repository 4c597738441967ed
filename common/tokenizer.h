// Splitting of comma text: the one-line, blank- or comma-separated token lists that plug-ins return and
// that servers send back. Bytes are Shift-JIS; a double-byte character is always taken whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Tokens of text in order. Separators are the bytes 1 to 32 and the comma; runs of blanks are one
// separator, a comma with blanks around it is one separator, two commas enclose an empty token, a
// trailing comma adds nothing. A token beginning with a double quote runs to the next undoubled quote
// ("" inside stands for one quote) or, lacking one, to the end of the text. A NUL byte ends the text.
std::vector<std::string> SplitCommaText(std::string_view text);

// text as one token of comma text: as it is when it splits into itself alone, else in double quotes with
// each quote doubled.
std::string QuoteCommaText(std::string_view text);
