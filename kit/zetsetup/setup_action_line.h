// The command line with which a package's action runs zetsetup, made exact. The package
// pastes each property value between quote marks ("[PORT]"), and a value that ends in a
// backslash would escape its closing quote: \\srv\share\ would arrive as \\srv\share" and
// take the following arguments with it. No value holds a quote mark (the package refuses
// them), so each pair of quote marks encloses one value exactly as given: the line is
// split at them and at blanks outside them, and joined again with the quoting that the C
// runtime and CommandLineToArgvW read back as the same arguments.
#pragma once

#include <string>

// false, with the reason in *error, when the quote marks do not pair.
bool ExactActionLine(const std::wstring& pasted, std::wstring* exact, std::string* error);
