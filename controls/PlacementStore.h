// The two places a window placement is kept: the per-user store standing where the registry under
// HKEY_CURRENT_USER stood, and an INI file of the caller's choosing. Both are INI files written
// through QSettings, which writes a temporary file and renames it over the old one, so a failed
// save never leaves half a file behind. Only a regular file (or a link to one) of a sensible size
// is read or replaced; anything else at the path (a FIFO, a device, a folder) reads as nothing
// stored and is left alone on save. UI thread only.
#pragma once

#include "controls/FormSizeRules.h"

#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

class PlacementStore {
public:
    virtual ~PlacementStore() = default;
    // A value of the section; nullopt when it, the section or the whole store is missing,
    // unreadable or not text.
    virtual std::optional<std::string> read(const std::string& section, const std::string& name) = 0;
    // Writes the values into the section and keeps everything else in the store. Returns false
    // when the store could not be written; the file on disk is then as it was.
    virtual bool write(const std::string& section, const std::vector<formsize::NamedValue>& values) = 0;
};

// An INI file at path (UTF-8 names, values as text).
std::unique_ptr<PlacementStore> openIniPlacementStore(const QString& path);

// The folder of the per-user store: "orvex" in the user's configuration folder ($XDG_CONFIG_HOME,
// by default ~/.config), looked up anew on each call.
QString registryStoreFolder();

// The store for a registry key path such as ".\FORM.INI": one INI file per key path below
// registryStoreFolder() (here ~/.config/orvex/FORM.INI), one INI section per subkey. Null when the
// key path names no key.
std::unique_ptr<PlacementStore> openRegistryPlacementStore(const std::string& keyPath);

// The INI store named by saveName, relative to the current directory.
std::unique_ptr<PlacementStore> openIniFilePlacementStore(const std::string& saveName);

} // namespace orvex
