// The folder of installed dictionaries: installation from the shipped resources and the list
// of installed dictionary names.
//
// Support folder: velumarkDataDirectory() ($XDG_DATA_HOME/velumark); dictionaries folder:
// <support folder>/dictionaries, each dictionary a file NAME.dict.
#pragma once

#include <string>
#include <vector>

#include "support/Text.h"

namespace vmk {

// The support folder and the dictionaries folder, from the current environment.
std::string velumarkXSupportDirectoryPath();
std::string dictionariesFolderPath();
// dictionariesFolderPath() + "/" + name + ".dict".
std::string dictionaryPathForName(UStringView name);

// Makes sure the support folder exists; a file in its place is removed first. True when the
// folder exists afterwards.
bool createVelumarkXSupportDirectory();

// Installs the shipped dictionaries (resourcePath("dictionaries")) when the dictionaries folder
// does not exist yet (an existing folder is never updated), then rebuilds the name list from
// the folder's entries: sorted without regard to case, extension removed, names beginning with
// "." skipped. Calling it again rebuilds the list from the current environment.
void initDictionaries();

// The installed dictionary names in list order; initDictionaries() runs first when the list
// was never built.
const std::vector<UString>& htmlDictionaryNames();

}  // namespace vmk
