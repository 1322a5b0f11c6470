#include "resources/webfs_strings.h"

namespace orvex {

const StringTable& WebFileSystemStrings() {
  static const StringTable table(
      "Porlane",
      {
          {101, "Invalid name.  File and folder names cannot be blank or contain the following characters:"},
          {102, "The folder cannot be added."},
          {103, "The parent folder is at the maximum folder depth."},
          {104, "The parent folder has reached its maximum folder capacity."},
          {105, "The file cannot be saved."},
          {106, "The parent folder has reached its maximum file capacity."},
          {107, "The name is too long.  File and folder names may not exceed "},
          {108, " characters in length."},
          {109, "The operation could not be completed.  The server may not be available."},
          {201, "Ongeldige naam.  De namen van dit overzicht en van de map kunnen niet leeg zijn of de volgende "
                "karakters bevatten:"},
          {202, "De map kan niet worden toegevoegd."},
          {203, "Het maximum aantal (sub)mappen is bereikt."},
          {204, "Het maximum aantal (sub)mappen is bereikt."},
          {205, "Het overzicht kan niet worden opgeslagen."},
          {206, "Het maximum aantal overzichten is bereikt."},
          {207, "De naam is te lang.  De namen van een overzicht en van een map kunnen niet meer dan "},
          {208, " karakters bevatten."},
          {209, "De bewerking kan niet worden afgerond. Het kan zijn dat de server niet beschikbaar is."},
      });
  return table;
}

}  // namespace orvex
