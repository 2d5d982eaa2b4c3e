// The translations installed for this run, looked up by the Japanese text they translate.
#include "platform/shown_text.h"

#include <utility>

namespace {

std::string g_strLanguage = "ja";
std::unordered_map<std::string, std::string> g_translations;

}  // namespace

void InstallTranslations(const std::string& strLanguage,
                         std::unordered_map<std::string, std::string> translations) {
    g_strLanguage = strLanguage;
    g_translations = std::move(translations);
}

const std::string& ShownLanguage() { return g_strLanguage; }

const char* ShownText(const char* pszText) {
    if (pszText == nullptr || g_translations.empty()) return pszText;
    const auto it = g_translations.find(pszText);
    return it != g_translations.end() ? it->second.c_str() : pszText;
}
