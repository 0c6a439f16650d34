#pragma once
// What a run is given to work with, untrimmed, as the operator typed it: what a create or
// modify run stores in the settings file (SavedDBSet: database type, server, login, password,
// database name) and the save folder, which is never stored. The window maps its boxes to it in
// one place; any other caller fills it directly. Text is UTF-8.

#include <string>

#include "settings/DBSet.h"

namespace dsadmin {

struct RunFields : SavedDBSet {
    std::string saveFolder;  // folder for the data file (create only; never stored)
};

}  // namespace dsadmin
