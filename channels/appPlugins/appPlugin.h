#pragma once
// An application plug-in: a shared library or a program that produces HTML
// pages for the application, described by a ".plugin" definition file.
//
//   [Config]
//   AppPluginId=news              ; default: base name of the Plugin value
//   Plugin=bin/news.py            ; relative to the definition's folder;
//                                 ; ".dll" = library, anything else = program
//   AppPluginDisplayName=News     ; default (key absent): the id with every
//                                 ; byte that is not an ASCII letter or digit
//                                 ; replaced by "_"
//   AuthorName=...  AuthorEmailAddress=...  PluginNotes=...
//   [PluginParameterDefinition-1] ...   ; parameters of the plug-in
//   [ChannelParameterDefinition-1] ...  ; parameters of each channel it feeds
//
// The plug-in's parameter values live in the user configuration file, in a
// section named by the definition's path exactly as it was handed to
// loadAppPlugin.
//
// AppPlugin is the abstract base; DllAppPlugin (channels/dllAppPlugin.h) and
// ScriptAppPlugin (channels/scriptAppPlugin.h) do the page work. Plug-ins are
// created, loaded and owned by the AppPluginManager.
//
// Locking: every field is guarded by the plug-in's lock; getters take it
// shared. The accessors that return references (getOutputFile, the
// definition tables, getPluginParamValues) are for callers that hold the
// lock themselves. A plug-in's lock is the innermost of the engine's locks
// (see channels/appPluginManager.h): while holding it, take no channel's or
// channel manager's lock.
#include <memory>
#include <string>

#include "channels/plugin/paramDef.h"
#include "lib/misc/threadSafety.h"

namespace tools {
class TempFile;
}

namespace channels {

class AppPluginManager;
class Channel;

class AppPlugin {
public:
    // Creates the plug-in's empty ".html" output file; throws
    // std::runtime_error "Can't create temporary file." when it can't.
    explicit AppPlugin(AppPluginManager* owner);
    // Deletes the output file.
    virtual ~AppPlugin();
    AppPlugin(const AppPlugin&) = delete;
    AppPlugin& operator=(const AppPlugin&) = delete;

    // Writes the main page, complete, into the output file.
    virtual void generateMainPage() = 0;
    // Answers one request (the request name and the text after "?" of a
    // local plug-in URL); channel is the channel asking, or null.
    virtual void processRequest(const std::string& request, const std::string& paramString, std::string& page,
                                Channel* channel) = 0;
    // The subclass's own loading, the last step of loadAppPlugin.
    virtual void load(const std::string& configFilename) = 0;

    // Reads the definition file and calls load(). Errors of the parameter
    // definitions and of load() are thrown unchanged.
    void loadAppPlugin(const std::string& configFilename);

    AppPluginManager* getAppPluginManager() const;
    std::string getConfigFilename() const;
    std::string getAppPluginId() const;
    std::string getDisplayName() const;
    std::string getAuthorName() const;
    std::string getAuthorEmailAddress() const;
    std::string getPluginNotes() const;
    std::string getOutputFilename() const;
    int getPluginParamDefCount() const;
    int getChannelParamDefCount() const;

    // Hold getLock() while using these.
    tools::TempFile& getOutputFile() { return *outputFile_; }
    const ParamDefs& getPluginParamDefs() const { return pluginParamDefs_; }
    const ParamDefs& getChannelParamDefs() const { return channelParamDefs_; }
    const ParamValues& getPluginParamValues() const { return pluginParamValues_; }

    // Replaces the values and stores each of them in the user configuration
    // file.
    void setPluginParamValues(const ParamValues& values);

    SharedExclusiveLock& getLock() const { return lock_; }

private:
    mutable SharedExclusiveLock lock_;
    AppPluginManager* owner_;
    std::string configFilename_;
    std::string appPluginId_;
    std::string displayName_;
    std::string authorName_;
    std::string authorEmailAddress_;
    std::string pluginNotes_;
    std::unique_ptr<tools::TempFile> outputFile_;
    ParamDefs pluginParamDefs_;
    ParamValues pluginParamValues_;
    ParamDefs channelParamDefs_;
};

}  // namespace channels
