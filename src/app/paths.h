#pragma once
// Where the program keeps its files. With VELMORA_HOME set, everything lives
// below that folder, so a test or a second profile never touches the user's
// real settings, data folder or browser profile.
#include <QString>

namespace Paths {

QString home();               // VELMORA_HOME, or empty when unset
QString configDir();          // settings and registry store
QString dataDir();            // "the program's folder": SaveList.dat, sound files; created on demand
QString settingsFile();       // INI file of GetSetting/SaveSetting
QString registryFile();       // INI file of the registry store
QString browserProfileDir();  // persistent browser profile "Velmora"
QString defaultSaveFolder();  // the user's Downloads folder + "/12345"

} // namespace Paths
