#pragma once

#include "server/server_options.h"

#include <ostream>

// Runs the operator's command in `options` (list, hide, show, ban, unban,
// refused, backup) on a connection of its own to `options.database`, which
// servers may be using meanwhile. Prints its lines to `out` and a failure as
// one line to `err`. Returns the exit status: 0 done, 1 failed.
int RunModeration(const ServerOptions& options, std::ostream& out, std::ostream& err);
