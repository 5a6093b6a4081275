#include "platform/translation.h"

#include <atomic>

namespace kivra {

namespace {

// The one process-wide hook, like the translators installed into a Qt application.
std::atomic<const TextTranslator*> g_translator{nullptr};

}  // namespace

std::string translate(const char* context, const char* sourceText) {
    const TextTranslator* translator = g_translator.load(std::memory_order_acquire);
    return translator != nullptr ? translator->Translate(context, sourceText)
                                 : std::string(sourceText);
}

std::string ArgText(std::string_view text, std::initializer_list<std::string_view> values) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t n = i + 1 < text.size() ? std::size_t(text[i + 1] - '1') : values.size();
        if (text[i] == '%' && n < values.size()) {
            out += values.begin()[n];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

ScopedTranslation::ScopedTranslation(const TextTranslator& translator)
    : m_pPrevious(g_translator.exchange(&translator, std::memory_order_acq_rel)) {}

ScopedTranslation::~ScopedTranslation() {
    g_translator.store(m_pPrevious, std::memory_order_release);
}

}  // namespace kivra
