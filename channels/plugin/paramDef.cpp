#include "channels/plugin/paramDef.h"

#include <set>
#include <strings.h>

#include "channels/exception.h"
#include "channels/plugin/scriptingEngine.h"
#include "lib/misc/stringHelpers.h"
#include "lib/log/messageLog.h"
#include "lib/text/blowfish.h"
#include "platform/profile.h"
#include "tools/codecs.h"
#include "tools/ini.h"

namespace channels {

ParamType paramTypeFromName(const std::string& typeName) {
    struct Entry {
        const char* name;
        ParamType type;
    };
    static const Entry kTypes[] = {
        {"int", ParamTypeInt},       {"integer", ParamTypeInt},   {"bool", ParamTypeBool}, {"boolean", ParamTypeBool},
        {"string", ParamTypeString}, {"double", ParamTypeDouble}, {"file", ParamTypeFile},
    };
    const std::string name = tools::trimString(typeName);
    for (const Entry& entry : kTypes)
        if (strcasecmp(entry.name, name.c_str()) == 0) return entry.type;
    return ParamTypeInvalid;
}

std::string convertFileFilters(const std::string& filters) {
    std::string converted = filters;
    for (char& c : converted)
        if (c == '|') c = '\0';
    converted.push_back('\0');
    return converted;
}

std::string paramValueOrDefault(const ParamDef& def, const ParamValues& values) {
    auto it = values.find(def.name);
    return it != values.end() ? it->second : def.defaultValue;
}

void ScriptingEngine::loadParamDefTable(const std::string& configFilename, ParamDefs& defs,
                                        const std::string& sectionNameStem) {
    ORVAN_LOG(logGroupPluginLoad()) << "Loading paramDef table: configFilename=" << configFilename
                                    << " ; sectionNameStem=" << sectionNameStem << std::endl;
    std::set<std::string> seen;
    for (int n = 1;; ++n) {
        const std::string section = sectionNameStem + std::to_string(n);
        const std::string name = tools::getIniString(configFilename, section, "Name", "", true);
        if (name.empty()) break;
        ORVAN_LOG(logGroupPluginLoad()) << "Found next param: name=" << name << std::endl;

        const std::string typeText = tools::getIniString(configFilename, section, "Type", "", true);
        if (typeText.empty()) throw Exception("Missing type for parameter '" + name + "'");
        const ParamType type = paramTypeFromName(typeText);
        if (type == ParamTypeInvalid) throw Exception("Invalid type for parameter '" + name + "': " + typeText);
        if (!seen.insert(name).second) throw Exception("Duplicate parameter name: '" + name + "'");

        ParamDef def;
        def.name = name;
        def.type = type;
        def.defaultValue = tools::getIniString(configFilename, section, "DefaultValue", "", true);
        def.description = tools::getIniString(configFilename, section, "Description", "", true);
        ORVAN_LOG(logGroupPluginLoad()) << "Saving paramDef: name=" << name << " ; type=" << static_cast<int>(type)
                                        << std::endl;
        if (type == ParamTypeFile) {
            def.defaultFileExtn = tools::getIniString(configFilename, section, "DefaultFileExtn", "", true);
            def.fileFilters = convertFileFilters(tools::getIniString(configFilename, section, "FileFilters", "", true));
        }
        defs.push_back(std::move(def));
    }
}

bool isPasswordParamName(const std::string& paramName) {
    const std::string name = toLowerCopy(paramName);
    return name.find("password") != std::string::npos || name.find("passwd") != std::string::npos;
}

bool isPasswordParam(const ParamDef& def) { return isPasswordParamName(def.name); }

void ScriptingEngine::readParamValues(const std::string& configFilename, const std::string& sectionName,
                                      const ParamDefs& defs, ParamValues& values) {
    ORVAN_LOG(logGroupPluginLoad()) << "Loading paramValues: configFilename=" << configFilename
                                    << " ; sectionName=" << sectionName << std::endl;
    for (const ParamDef& def : defs) {
        // The default is already plain text: only a stored value is decoded.
        // A password is stored enciphered; one stored plain earlier still reads.
        const auto stored = platform::profile::readValue(configFilename, sectionName, def.name);
        const std::string value = !stored                ? def.defaultValue
                                  : isPasswordParam(def) ? tools::decodeIniSecretString(crypto::passwordCipher, *stored)
                                                         : tools::trimString(tools::urlDecode(*stored));
        ORVAN_LOG(logGroupPluginLoad()) << "Loaded paramater value: sectionName=" << sectionName
                                        << " ; paramName=" << def.name
                                        << " ; val=" << (isPasswordParam(def) ? maskSecret(value) : value) << std::endl;
        values.emplace(def.name, value);
    }
}

bool ScriptingEngine::writeParamValues(const std::string& configFilename, const std::string& sectionName,
                                       const ParamValues& values) {
    platform::profile::WriteBatch batch(configFilename);
    bool ok = true;
    for (const auto& [name, value] : values)
        ok = (isPasswordParamName(name)
                  ? tools::writeIniSecretString(crypto::passwordCipher, configFilename, sectionName, name, value)
                  : tools::writeIniString(configFilename, sectionName, name, value)) &&
             ok;
    return batch.commit() && ok;
}

void ScriptingEngine::loadParamValues(const std::string& sectionName, const ParamDefs& defs, ParamValues& values) {
    readParamValues(getUserConfigFilename(), sectionName, defs, values);
}

bool ScriptingEngine::saveParamValues(const std::string& sectionName, const ParamValues& values) {
    return writeParamValues(getUserConfigFilename(), sectionName, values);
}

}  // namespace channels
