#pragma once
// The program's string table: messages, captions and prompts by their resource numbers, in
// the program's own (Japanese) wording, shown in the user's language. "\n" in a text is a
// real line feed.
#include <string>

namespace kivra {

// The text of `id` in the user interface's language (see platform/translation.h); an empty
// string for a number the table does not hold.
std::string LoadString(int id);
// The text of `id` as written, whatever the language: for texts the program reads rather
// than shows (the extensions of the video file filter). Valid for the whole run.
const std::string& SourceString(int id);

}  // namespace kivra
