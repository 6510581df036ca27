#pragma once
// dxu-cli serve: a line's gateway to Modbus TCP and MQTT, run until stopped.
#include "cli/options.h"

namespace dxu::cli {

int runServe(const Options& o);

} // namespace dxu::cli
