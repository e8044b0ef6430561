#include "server/server_options.h"

#include <optional>

namespace {

std::optional<uint64_t> ReadWholeNumber(const std::string& text, uint64_t maximum) {
    if (text.empty() || text.size() > 19) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > maximum) {
        return std::nullopt;
    }
    return value;
}

// Reads an operator's command and its arguments into `options`.
std::string ParseCommand(const std::vector<std::string>& arguments, ServerOptions& options) {
    const std::string& command = arguments.front();
    std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    if (command == "list" || command == "refused") {
        bool counted = false;
        for (const std::string& argument : rest) {
            std::optional<uint64_t> count = ReadWholeNumber(argument, 1u << 30);
            if (command == "list" && argument == "--latest" && !options.latest) {
                options.latest = true;
            } else if (count && *count > 0 && !counted) {
                options.count = static_cast<int64_t>(*count);
                counted = true;
            } else {
                return command + " takes " + (command == "list" ? "[--latest] " : "") +
                       "[N], a positive number, not " + argument;
            }
        }
    } else if (command == "hide" || command == "show") {
        std::optional<uint64_t> id = rest.size() == 1 ? ReadWholeNumber(rest[0], INT64_MAX) : std::nullopt;
        if (!id || *id == 0) {
            return command + " takes the id of one score, as list shows it";
        }
        options.id = static_cast<int64_t>(*id);
    } else if (command == "ban" || command == "unban" || command == "backup") {
        if (rest.size() != 1 || rest[0].empty()) {
            return command + (command == "backup" ? " takes the name of a new file"
                                                  : " takes one name (quoted when it holds spaces)");
        }
        options.argument = rest[0];
    } else {
        return "unknown command " + command;
    }
    options.command = command;
    return {};
}

}  // namespace

std::string ParseServerOptions(const std::vector<std::string>& arguments, ServerOptions& options) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help" || option == "-h") {
            options.showHelp = true;
            continue;
        }
        if (option.empty() || option[0] != '-') {
            return ParseCommand(
                std::vector<std::string>(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end()),
                options);
        }
        if (option != "--listen" && option != "--port" && option != "--db" && option != "--max-connections" &&
            option != "--max-connections-per-address" && option != "--scores-per-minute" &&
            option != "--deadline-ms" && option != "--request-limit" && option != "--read-deadline-ms" &&
            option != "--readers") {
            return "unknown option " + option;
        }
        if (i + 1 == arguments.size()) {
            return option + " needs a value";
        }
        const std::string& value = arguments[++i];
        if (option == "--listen") {
            if (value.empty()) {
                return "--listen needs an address";
            }
            options.listen = value;
        } else if (option == "--db") {
            if (value.empty()) {
                return "--db needs a file name or a postgresql:// address";
            }
            options.database = value;
        } else if (option == "--port") {
            std::optional<uint64_t> port = ReadWholeNumber(value, 65535);
            if (!port) {
                return "--port wants a number from 0 to 65535, not " + value;
            }
            options.port = static_cast<uint16_t>(*port);
        } else {
            std::optional<uint64_t> number = ReadWholeNumber(value, 1u << 30);
            if (!number || *number == 0) {
                return option + " wants a positive number, not " + value;
            }
            if (option == "--max-connections") {
                options.maxConnections = *number;
            } else if (option == "--max-connections-per-address") {
                options.maxConnectionsPerAddress = *number;
            } else if (option == "--scores-per-minute") {
                options.scoresPerMinute = *number;
            } else if (option == "--deadline-ms") {
                options.deadline = std::chrono::milliseconds(*number);
            } else if (option == "--read-deadline-ms") {
                options.readDeadline = std::chrono::milliseconds(*number);
            } else if (option == "--readers") {
                if (*number > 64) {
                    return "--readers wants a number from 1 to 64, not " + value;
                }
                options.readers = *number;
            } else {
                options.requestLimit = *number;
            }
        }
    }
    return {};
}

std::string ServerUsage() {
    return "usage: quorvel-scores [--listen ADDR] [--port N] [--db PATH|URI]\n"
           "                      [--max-connections N] [--max-connections-per-address N]\n"
           "                      [--scores-per-minute N] [--deadline-ms MS] [--request-limit BYTES]\n"
           "                      [--read-deadline-ms MS] [--readers N]\n"
           "       quorvel-scores [--db PATH|URI] COMMAND\n"
           "  --listen ADDR          address to listen on (default 127.0.0.1; 0.0.0.0 for every interface)\n"
           "  --port N               TCP port (default 8480; 0 picks a free one)\n"
           "  --db PATH              SQLite database file (default quorvel-scores.db in the current folder)\n"
           "  --db postgresql://...  PostgreSQL instead (password from PGPASSFILE or ~/.pgpass)\n"
           "  --max-connections N    connections served at once (default 256); at the limit a newcomer\n"
           "                         takes the place of the longest idle connection of the address\n"
           "                         holding the most, if that holds more; otherwise it is closed\n"
           "  --max-connections-per-address N\n"
           "                         connections served at once from one client address (default 32)\n"
           "  --scores-per-minute N  scores stored per minute from one client address (default 30)\n"
           "  --deadline-ms MS       time to send a whole request and to take the reply (default 5000)\n"
           "  --request-limit BYTES  longest request accepted (default 8192)\n"
           "  --read-deadline-ms MS  time a request waits for the database to be read (default 500);\n"
           "                         then the game gets the list last read, the page and /healthz 503\n"
           "  --readers N            threads reading the database, each with its connection (default 2)\n"
           "SIGTERM, SIGINT and SIGHUP stop the server cleanly (status 0) within 1.5 s; a second\n"
           "one ends it at once (status 128 + the signal's number).\n"
           "The port in use is printed as \"listening on ADDR:PORT\" on standard error.\n"
           "Commands for the operator, also while servers run on the same database:\n"
           "  list [--latest] [N]    the best (or the latest) N scores, default 20:\n"
           "                         id, name, score, time and \"hidden\" where hidden, tab-separated\n"
           "  hide ID, show ID       take a score off every list, or put it back\n"
           "  ban NAME, unban NAME   hide a name's scores and refuse its new ones, or undo that\n"
           "  refused [N]            the latest N refused scores, default 20: address, time, name,\n"
           "                         score and reason, tab-separated, newest first\n"
           "  backup FILE            a consistent copy of an SQLite database in a new FILE\n"
           "A command exits with 0 when done, 1 when it failed, 2 on a usage error.\n";
}
