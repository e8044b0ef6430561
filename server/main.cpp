#include "server/moderation.h"
#include "server/score_server.h"
#include "server/server_options.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    ServerOptions options;
    std::string error = ParseServerOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (!error.empty()) {
        std::fprintf(stderr, "quorvel-scores: %s\n%s", error.c_str(), ServerUsage().c_str());
        return 2;
    }
    if (options.showHelp) {
        std::fputs(ServerUsage().c_str(), stdout);
        return 0;
    }
    if (!options.command.empty()) {
        return RunModeration(options, std::cout, std::cerr);
    }
    return RunScoreServer(options);
}
