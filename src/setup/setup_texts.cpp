#include "setup/setup_texts.h"

namespace orvex::setup {
namespace {

constexpr uint16_t kDutchNetherlands = 0x0413;

struct Message {
  Failure failure;
  const char* english;
  const char* dutch;
};

// "\xEF" is the Windows-1252 byte of the "i" with diaeresis; the string is
// split after it so that the following letters are not read as hex digits.
constexpr Message kMessages[] = {
    {Failure::kOperatingSystem,
     "Incorrect version of Windows detected.\n\n"
     "Orvex can only be installed on Windows NT 4.0, Windows 2000, and Windows XP",
     "Onjuiste ontdekte versie van Ramen.\n\n"
     "Orvex kan slechts worden ge\xEF"
     "nstalleerd op Windows NT 4.0, Windows 2000, en Windows XP"},
    {Failure::kDataAccess,
     "Orvex requires Microsoft Data Access Components (MDAC) 2.6 or greater.  The installer cannot continue.\n\n"
     "Refer to the installation documentation for details.",
     "Orvex vereist Microsoft de Componenten van de Toegang van Gegevens 2.6 of groter.  "
     "De installateur kan niet verdergaan.\n\n"
     "Verwijs naar de installatiedocumentatie voor details."},
    {Failure::kScriptingRuntime,
     "Orvex requires Microsoft Scripting Runtime Library 5.6 or greater.  The installer cannot continue.\n\n"
     "Refer to the installation documentation for details.",
     "Orvex vereist Microsoft Scripting Runtime Bibliotheek 5.6 of groter.  De installateur kan niet verdergaan.\n\n"
     "Verwijs naar de installatiedocumentatie voor details."},
};

}  // namespace

Language LanguageFor(uint16_t language_id) {
  return language_id == kDutchNetherlands ? Language::kDutch : Language::kEnglish;
}

std::string MessageText(Failure failure, Language language) {
  for (const Message& message : kMessages) {
    if (message.failure == failure) return language == Language::kDutch ? message.dutch : message.english;
  }
  return "";
}

}  // namespace orvex::setup
