// demo.h - "vorn demo": a guided tour over a scripted account.
#ifndef VORN_TOOL_DEMO_H
#define VORN_TOOL_DEMO_H

#include "plugin.h"

namespace vorn_cli {

// Scripts an account into the plug-in's built-in transport and walks through
// every operation on it. Returns the tool's exit status.
int run_demo(const Plugin &p, bool json, bool verbose);

}  // namespace vorn_cli

#endif  // VORN_TOOL_DEMO_H
