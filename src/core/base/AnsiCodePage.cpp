#include <array>
#include <cstdlib>
#include <string>

#include "base/CodePage.h"

namespace quillmark {

namespace {

struct TLanguageCodePage {
    std::string_view Language;
    TCodePage CodePage;
};

constexpr std::array kLanguages{
    TLanguageCodePage{"ja", 932},  TLanguageCodePage{"ko", 949},  TLanguageCodePage{"th", 874},
    TLanguageCodePage{"vi", 1258}, TLanguageCodePage{"cs", 1250}, TLanguageCodePage{"hu", 1250},
    TLanguageCodePage{"pl", 1250}, TLanguageCodePage{"ro", 1250}, TLanguageCodePage{"sk", 1250},
    TLanguageCodePage{"sl", 1250}, TLanguageCodePage{"hr", 1250}, TLanguageCodePage{"sq", 1250},
    TLanguageCodePage{"bs", 1250}, TLanguageCodePage{"ru", 1251}, TLanguageCodePage{"uk", 1251},
    TLanguageCodePage{"be", 1251}, TLanguageCodePage{"bg", 1251}, TLanguageCodePage{"mk", 1251},
    TLanguageCodePage{"sr", 1251}, TLanguageCodePage{"kk", 1251}, TLanguageCodePage{"el", 1253},
    TLanguageCodePage{"tr", 1254}, TLanguageCodePage{"az", 1254}, TLanguageCodePage{"he", 1255},
    TLanguageCodePage{"yi", 1255}, TLanguageCodePage{"ar", 1256}, TLanguageCodePage{"fa", 1256},
    TLanguageCodePage{"ur", 1256}, TLanguageCodePage{"et", 1257}, TLanguageCodePage{"lv", 1257},
    TLanguageCodePage{"lt", 1257},
};

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

}  // namespace

TCodePage AnsiCodePageFromLocale(std::string_view locale) {
    // language[_territory][.codeset][@modifier]
    const std::string_view name = locale.substr(0, locale.find_first_of(".@"));
    const auto underscore = name.find('_');
    const std::string language = Lower(name.substr(0, underscore));
    const std::string territory =
        underscore == std::string_view::npos ? std::string() : Lower(name.substr(underscore + 1));
    if (language == "zh") return territory == "tw" || territory == "hk" || territory == "mo" ? 950 : 936;
    for (const auto& entry : kLanguages)
        if (entry.Language == language) return entry.CodePage;
    return 1252;
}

TCodePage AnsiCodePageFromEnvironment() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return AnsiCodePageFromLocale(value);
    }
    return AnsiCodePageFromLocale("");
}

}  // namespace quillmark
