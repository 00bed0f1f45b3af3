#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// The recorded error text as the user reads it: one line per link of the
// chain. Each link is what one AddErrorText appended, beginning with
// "[module,line] "; some links (the codec's) end without a line feed, so
// the text alone would run them together on one line.
std::vector<std::string> ErrorChainLinks(std::string_view text);

// Prints each link on its own line. A link of a data file's write whose
// text begins "SendMsg: " (the file port writes as a connection sends) is
// told as the write of the data file it was: nothing was sent.
enum class ChainWording { AsRecorded, DataFileWrite };
void PrintErrorChain(FILE* out, std::string_view text, ChainWording wording);
