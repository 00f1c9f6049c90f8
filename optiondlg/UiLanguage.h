#pragma once
// The language of the effect's texts (the option dialog's and the About text's): a "-L" switch on the host's
// command line, else the code page.

enum class UiLanguageKind { Japanese, English };

UiLanguageKind UiLanguage();

// The language code of a command line: the characters after "-L" (outside quotes), upper-cased and
// shifted into 32 bits; 0 when there is none.
unsigned int LanguageSwitchCode(const char* commandLine);
