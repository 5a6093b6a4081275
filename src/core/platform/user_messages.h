#pragma once
// How the core tells the user something or asks a question, without knowing about windows.
// The GUI answers with message boxes; the command-line tool prints and answers "no".
#include <string>

namespace kivra {

// YesNoDefaultNo: Enter answers No, for a question whose Yes throws the user's work away.
enum class MsgButtons { Ok, YesNo, YesNoCancel, YesNoDefaultNo };
enum class MsgIcon { None, Information, Question, Warning, Error };
enum class MsgAnswer { Ok, Yes, No, Cancel };

class UserMessages {
public:
    virtual ~UserMessages() = default;
    virtual MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) = 0;
};

}  // namespace kivra
