// A hook command as the user writes it, split into the program and its
// arguments the way a POSIX shell splits words: blanks separate, single
// quotes keep everything, double quotes keep all but \ before $ ` " \ and a
// line end, and a backslash outside quotes keeps the next character. Nothing
// is expanded: there are no variables, globs or redirections.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace telvane {

// Nothing when a quote is left open or the text ends in a lone backslash.
std::optional<std::vector<std::string>> SplitCommandLine(const std::string& text);

} // namespace telvane
