// The translations: Qt's translation files built from i18n/*.ts, with the .ts itself beside them
// for the list of what they translate.
#include "app/language.h"

#include <QCoreApplication>
#include <QFile>
#include <QTranslator>
#include <QXmlStreamReader>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "platform/shown_text.h"

namespace {

// One context for every text: the texts are the instrument's, not any one class's.
constexpr const char* kContext = "Aerolyre";

QString ResourcePath(const std::string& strLanguage, const char* pszSuffix) {
    return QString::fromStdString(":/i18n/aerolyre_" + strLanguage + pszSuffix);
}

// The texts a translation file translates, from its source.
std::vector<std::string> SourceTexts(const std::string& strLanguage) {
    std::vector<std::string> texts;
    QFile file(ResourcePath(strLanguage, ".ts"));
    if (!file.open(QIODevice::ReadOnly)) return texts;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("source"))
            texts.push_back(xml.readElementText().toStdString());
    }
    return texts;
}

}  // namespace

std::string LanguageOf(const std::string& strCode) {
    // A locale's name: the language is what comes before the territory, codeset or modifier.
    const std::string strLanguage = strCode.substr(0, strCode.find_first_of("_.@-"));
    return strLanguage == "en" || strLanguage == "ja" ? strLanguage : std::string();
}

std::string ChooseLanguage(const std::string& strGiven, const char* pszEnvironment,
                           const std::string& strKept) {
    if (!strGiven.empty()) return strGiven;
    if (pszEnvironment != nullptr && *pszEnvironment != '\0') {
        std::string strLanguage = LanguageOf(pszEnvironment);
        if (!strLanguage.empty()) return strLanguage;
        std::fprintf(stderr, "aerolyre: AEROLYRE_LANGUAGE=%s names no language of the program's (ja, en)\n",
                     pszEnvironment);
    }
    return strKept.empty() ? "ja" : strKept;
}

bool UseLanguage(const std::string& strLanguage) {
    if (strLanguage == "ja") return true;
    static QTranslator s_translator;
    if (!s_translator.load(ResourcePath(strLanguage, ".qm"))) return false;
    QCoreApplication::installTranslator(&s_translator);
    std::unordered_map<std::string, std::string> translations;
    for (const std::string& strSource : SourceTexts(strLanguage)) {
        const QString translation = s_translator.translate(kContext, strSource.c_str());
        if (!translation.isEmpty()) translations.emplace(strSource, translation.toStdString());
    }
    InstallTranslations(strLanguage, std::move(translations));
    return true;
}

std::string TextIn(const std::string& strLanguage, const char* pszText) {
    if (strLanguage == ShownLanguage()) return ShownText(pszText);
    if (strLanguage == "ja") return pszText;
    QTranslator translator;
    if (!translator.load(ResourcePath(strLanguage, ".qm"))) return pszText;
    const QString translation = translator.translate(kContext, pszText);
    return translation.isEmpty() ? std::string(pszText) : translation.toStdString();
}
