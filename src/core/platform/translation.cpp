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

ScopedTranslation::ScopedTranslation(const TextTranslator& translator)
    : m_pPrevious(g_translator.exchange(&translator, std::memory_order_acq_rel)) {}

ScopedTranslation::~ScopedTranslation() {
    g_translator.store(m_pPrevious, std::memory_order_release);
}

}  // namespace kivra
