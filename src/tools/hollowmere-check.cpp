// hollowmere-check: checks level files and level models against what the game expects, for level
// designers and for the CI.
//
//   hollowmere-check [FILE...]
//
// Run from the repository root. Without a file it checks every level of the game: the campaign
// list (GAME_DATA/levels/campaign.ini), each level file it names and the models those name. A
// level file (.ini) is checked with the model it names; campaign.ini as the campaign list; a model
// file (.fbx) on its own. Every finding is one line in compiler form on standard output:
//   GAME_DATA/levels/Vezaz.ini:14: error: unknown monster kind "walkng" (floating, walking, massive)
//   GAME_DATA/models/Vezaz.fbx: node "TowerBase[3]": warning: plot 0.4 units from the road (at least 1)
// and a summary goes to standard error. Exit status: 0 no error (warnings allowed), 1 errors, 2 a
// usage error. docs/level-design.md lists the rules and their figures.
#include "app/Log.h"
#include "app/Window.h"
#include "game/LevelChecker.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

int usage(const std::string& message) {
    std::fprintf(stderr,
                 "hollowmere-check: %s\n"
                 "usage: hollowmere-check [FILE...]   (level files .ini, campaign.ini, model files .fbx;\n"
                 "                                     none: every level of the game)\n",
                 message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            usage("checks level files and models");
            return 0;
        }
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && !argument.empty() && argument[0] == '-')
            return usage("unknown option " + argument);
        const std::string extension = std::filesystem::path(argument).extension().string();
        if (extension != ".ini" && extension != ".fbx")
            return usage("'" + argument + "' is neither a level file (.ini) nor a model file (.fbx)");
        files.push_back(argument);
    }

    // Silent and quiet: the findings say what matters, the engine's own log stays out of the way.
    setenv("ALSOFT_DRIVERS", "null", 1);
    hm::initLogging();
    spdlog::set_level(spdlog::level::err);

    // No display and no GL context: models load as in the game and nothing is drawn.
    std::unique_ptr<hm::Window> window = hm::Window::headless(800, 800);
    hm::LevelChecker checker(*window);
    if (files.empty())
        checker.checkGame();
    for (const std::string& file : files)
        checker.checkFile(file);

    for (const hm::Finding& finding : checker.findings())
        std::printf("%s\n", finding.text().c_str());
    std::fflush(stdout);
    const int errors = checker.errorCount();
    const int warnings = static_cast<int>(checker.findings().size()) - errors;
    std::fprintf(stderr, "hollowmere-check: %d file%s checked, %d error%s, %d warning%s\n",
                 checker.fileCount(), checker.fileCount() == 1 ? "" : "s", errors, errors == 1 ? "" : "s",
                 warnings, warnings == 1 ? "" : "s");
    return errors > 0 ? 1 : 0;
}
