#pragma once

#include "server/server_options.h"

// Serves the game's score requests and the scores web page on one port until
// SIGTERM or SIGINT arrives. Returns the process exit status: 0 after a clean
// stop, 1 when the database or the port cannot be opened.
int RunScoreServer(const ServerOptions& options);
