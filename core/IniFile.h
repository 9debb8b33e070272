#pragma once

#include "Settings.h"

#include <QString>

namespace Quorlix {

// The configuration file to use: the --config file when one was given, else quorlix.ini beside the
// executable, else /etc/quorlix/quorlix.ini (on Windows: the Windows folder).
QString FindIniFile(const QString& configOption, const QString& applicationDir);

// Reads quorlix.ini into the site settings. Lines are taken as written (nothing trimmed); empty lines
// and lines starting with ";" or "[" are skipped; a later key wins. A missing file is created empty.
// Returns an error text when the file can neither be read nor created.
QString ReadIniFile(const QString& path, Settings& settings);

// A path of the settings as the program uses it: a relative one is taken relative to the folder of
// the configuration file, so that the program finds it whatever folder it was started in.
QString BesideIniFile(const Settings& settings, const QString& path);

// Appends the folder separator when the value does not already end in one ("/" or "\").
QString WithTrailingSeparator(const QString& folder);

} // namespace Quorlix
