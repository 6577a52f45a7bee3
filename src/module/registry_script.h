// What unregistering a registration script must remove, read from the script itself, free of
// Windows headers. Unregistration replays the script through the platform's registrar and
// then removes whatever of these entries is still there (some registrars delete keys only
// when they are empty and leave values alone), so the script stays the one list of entries.
#pragma once

#include <string>
#include <vector>

struct ScriptRemoval {
    std::string root;                // as the script names it: "HKCR", "HKLM", ...
    std::vector<std::string> path;   // key names below the root
    bool isValue = false;            // a named value ("val") instead of a key tree
    std::string valueName;
};

// The removable key trees (keys not marked NoRemove, under NoRemove keys only) and the named
// values set under NoRemove keys. Returns false, with nothing, for a script it cannot read.
bool ReadScriptRemovals(const std::string& script, std::vector<ScriptRemoval>* removals);
