// Whether the command that is running was started by a script command of the host (or by the
// command line, which is the headless host's scripting interface). Such commands show no alerts
// that would wait for a person: the "nothing to repair" notice, the beautifier's structural
// warning and the like are skipped, and operations proceed as they were asked.
#pragma once

namespace vmk {

// True while at least one ScriptCommandScope is alive, or after the process marked itself.
bool startedByScriptCommand();

// For a front end whose every command is a script command (the command line, the language
// server): the state holds for the rest of the process.
void setStartedByScriptCommand(bool started);

// Marks one script entry point; scopes nest.
class ScriptCommandScope {
 public:
  ScriptCommandScope();
  ~ScriptCommandScope();
  ScriptCommandScope(const ScriptCommandScope&) = delete;
  ScriptCommandScope& operator=(const ScriptCommandScope&) = delete;
};

}  // namespace vmk
