#include "server/moderation.h"

#include "server/score_store.h"

#include <memory>
#include <stdexcept>
#include <string>

int RunModeration(const ServerOptions& options, std::ostream& out, std::ostream& err) {
    const std::string& command = options.command;
    std::string failure;
    try {
        std::unique_ptr<ScoreStore> store = OpenScoreStore(options.database);
        if (command == "list") {
            for (const ListedScore& score : store->List(options.latest, options.count)) {
                out << score.id << '\t' << score.name << '\t' << score.score << '\t' << score.received
                    << (score.hidden ? "\thidden\n" : "\n");
            }
        } else if (command == "refused") {
            for (const RefusedScore& score : store->LatestRefused(options.count)) {
                out << score.address << '\t' << score.received << '\t' << score.name << '\t' << score.score
                    << '\t' << score.reason << '\n';
            }
        } else if (command == "hide" || command == "show") {
            if (!store->SetHidden(options.id, command == "hide")) {
                failure = "no score has the id " + std::to_string(options.id);
            } else {
                out << (command == "hide" ? "hidden " : "shown ") << options.id << '\n';
            }
        } else if (command == "ban") {
            if (!store->Ban(options.argument)) {
                failure = "\"" + options.argument + "\" is already banned";
            } else {
                out << "banned \"" << options.argument << "\"\n";
            }
        } else if (command == "unban") {
            if (!store->Unban(options.argument)) {
                failure = "\"" + options.argument + "\" is not banned";
            } else {
                out << "unbanned \"" << options.argument << "\"\n";
            }
        } else if (command == "backup") {
            store->Backup(options.argument);
            out << "backed up to " << options.argument << '\n';
        } else {
            failure = "unknown command " + command;
        }
    } catch (const std::exception& error) {
        failure = std::string(error.what()) + " (" + ShownDatabaseAddress(options.database) + ")";
    }
    if (!failure.empty()) {
        err << "quorvel-scores: " << command << ": " << failure << '\n';
        return 1;
    }
    return 0;
}
