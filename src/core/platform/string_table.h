#pragma once
// The program's string table: messages, captions and prompts by their resource numbers, in
// the program's own (Japanese) wording. "\n" in a text is a real line feed.
#include <string>

namespace kivra {

// The text of `id`; an empty string for a number the table does not hold. The reference stays
// valid for the whole run.
const std::string& LoadString(int id);

}  // namespace kivra
