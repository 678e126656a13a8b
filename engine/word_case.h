#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace versalo {

// The rule "each word": the first letter of every word in its Unicode title case (ǆ gives ǅ,
// Turkish i gives İ), every other letter in lower case, with the locale's rules (ICU's default
// locale). A letter starts a word when it is the text's first character or when the character
// before it is neither a letter, a digit, a combining mark nor an apostrophe (' or ’): so
// "don't" gives "Don't", "1st" stays "1st", and a decomposed "élan" stays decomposed and one word.
// The text is taken as it is (no extension split). Applying it twice changes nothing more. A text
// that is not valid UTF-8 comes back unchanged.
std::string EachWordCapital(std::string_view text);

// The word rule on a name in place, where it is ASCII and the locale maps ASCII letters as the
// ASCII table does: the text before end as EachWordCapital makes it, from end on lower case (a
// file's extension with its dot). False, and nothing changed, where that does not hold.
bool EachWordAsciiInPlace(std::string& name, std::size_t end);

// Puts back the kept spellings: every whole word of text that equals one of kept without regard
// to case (full case folding) is written as in kept. A kept word matches where the character
// before it is neither a letter, a digit, a combining mark nor an apostrophe, and the character
// after it is neither a letter, a digit nor a combining mark. kept holds valid UTF-8 words.
std::string WithKeptSpellings(std::string_view text, const std::vector<std::string>& kept);

// The text in full case folding, for matching without regard to case (ASCII: lower case).
std::u32string FoldedCodePoints(std::string_view text);
void FoldedCodePoints(std::string_view text, std::u32string& result);

}  // namespace versalo
