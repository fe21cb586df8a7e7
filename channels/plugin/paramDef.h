#pragma once
// Parameter definitions of plug-ins, plug-in channels and channel hooks, and
// the maps that hold the values the user chose for them.
//
// A definition file declares its parameters in numbered INI sections
// <stem>1, <stem>2, ... (the first section without a Name ends the list):
//
//   [ChannelParameterDefinition-1]
//   Name=DownloadUrl
//   Type=string
//   DefaultValue=http://127.0.0.1/feed.xml
//   Description=Where the feed comes from
//
// Type is one of int/integer, bool/boolean, string, double, file (without
// regard to case). A "file" parameter may add DefaultFileExtn and FileFilters
// ("Text files|*.txt|All files|*.*|"), the latter converted to the
// NUL-separated list a file dialog expects.
//
// Reading and writing definitions and values: ScriptingEngine::loadParamDefTable,
// readParamValues, writeParamValues, loadParamValues, saveParamValues
// (channels/scriptingEngine.h).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace channels {

enum ParamType : std::int32_t {
    ParamTypeInvalid = -1,
    ParamTypeInt = 1,
    ParamTypeBool = 2,
    ParamTypeString = 3,
    ParamTypeDouble = 4,
    ParamTypeFile = 5,
};

struct ParamDef {
    std::string name;
    ParamType type = ParamTypeString;
    std::string defaultValue;
    std::string description;
    // Type file only.
    std::string defaultFileExtn;
    std::string fileFilters;  // "desc\0pattern\0...\0\0"
};

using ParamDefs = std::vector<ParamDef>;
// Parameter name -> value (names compared byte by byte). Values are strings
// whatever the type.
using ParamValues = std::map<std::string, std::string>;

// The type a type name selects (blanks around it and letter case ignored);
// ParamTypeInvalid for an unknown name.
ParamType paramTypeFromName(const std::string& typeName);

// Whether a parameter holds a password: its name mentions one ("Password",
// "Passwd", any case). Such values never appear in logs and are stored
// enciphered (tools::writeIniSecretString).
bool isPasswordParam(const ParamDef& def);
bool isPasswordParamName(const std::string& name);

// "a|b|" -> "a\0b\0\0": every '|' becomes a NUL and one more NUL is appended.
std::string convertFileFilters(const std::string& filters);

// The value the map holds for the definition's name, else the definition's
// default (an empty stored value counts as stored).
std::string paramValueOrDefault(const ParamDef& def, const ParamValues& values);

}  // namespace channels
