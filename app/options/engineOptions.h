#pragma once
// The one place where the running engine takes what it keeps of the global
// options. The desktop calls it on its road from the options to the running
// program: at start-up once the channel manager exists, and after every
// change of the options.
//
//   const EngineOptionsApplied applied = applyOptionsToEngine();
//   if (applied.pluginPortMoved) ...  // pages of the plug-in server address the old port
//
// It hands over, from GlobalOptions::instance(),
// - to the scripting engine: the time-out of scripts and plug-in programs
//   and the commands of the script file types;
// - to the channel manager, when one is installed: the blackout times, the
//   update drift, the connection check and a copy of the proxy credential;
// - to the local port listeners, only while they run (start-up starts them,
//   shut-down stops them): when the plug-in server's port or one of the three
//   subscription switches differs from what runs, every listener is stopped
//   and started again from the options.
// Applying options that are already in effect changes nothing.

struct EngineOptionsApplied {
    bool listenersRestarted = false;
    // The plug-in server now listens on another port.
    bool pluginPortMoved = false;
};

EngineOptionsApplied applyOptionsToEngine();
