#include "host/ScriptCommand.h"

namespace vmk {

namespace {
// Everything runs on the main thread; no lock.
int gScriptCommandDepth = 0;
bool gProcessIsScripted = false;
}  // namespace

bool startedByScriptCommand() {
  return gProcessIsScripted || gScriptCommandDepth > 0;
}

void setStartedByScriptCommand(bool started) {
  gProcessIsScripted = started;
}

ScriptCommandScope::ScriptCommandScope() {
  ++gScriptCommandDepth;
}

ScriptCommandScope::~ScriptCommandScope() {
  --gScriptCommandDepth;
}

}  // namespace vmk
