#pragma once
// How the core's user-visible texts reach the user's language without the core knowing Qt.
// Texts are written in Japanese, the program's own language, and looked up by (context, text)
// through one function that the program with a user interface installs; without one, every
// text stays as written. The translation tools (lupdate) read the marked texts from the source.
#include <initializer_list>
#include <string>
#include <string_view>

// Marks a text for the translation tools where it is defined, leaving it unchanged. The same
// definition as Qt's, so that either header may come first.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace kivra {

// Gives the text to show for a source text; owned by the program that installs it.
class TextTranslator {
public:
    virtual ~TextTranslator() = default;
    virtual std::string Translate(const char* context, const char* sourceText) const = 0;
};

// The text to show for `sourceText` (UTF-8) of `context`: the installed translator's, else the
// source itself. Spelled like Qt's so that lupdate also finds calls with literal arguments.
std::string translate(const char* context, const char* sourceText);

// `text` with %1 ... %9 replaced by the values in order, in one pass, so that a value holding
// "%2" stays as it is; a number without a value is kept. Like QString::arg for the core's
// texts, whose word order differs between the languages.
std::string ArgText(std::string_view text, std::initializer_list<std::string_view> values);

// Installs a translator for its own lifetime; the one before it comes back afterwards. Made
// once at start, before any text is shown, and not while another thread asks for texts.
class ScopedTranslation {
public:
    explicit ScopedTranslation(const TextTranslator& translator);
    ~ScopedTranslation();
    ScopedTranslation(const ScopedTranslation&) = delete;
    ScopedTranslation& operator=(const ScopedTranslation&) = delete;

private:
    const TextTranslator* m_pPrevious;
};

}  // namespace kivra
