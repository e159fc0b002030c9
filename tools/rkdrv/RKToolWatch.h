// rkdrv watch: every change of the engine's drives as it happens, one line
// (or one JSON object) per event, until Ctrl-C, --timeout or --count.
#ifndef RKTOOLWATCH_H
#define RKTOOLWATCH_H

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "RKToolCommands.h"

// What CLI11 collects for the command, before it is checked.
struct RKToolWatchArguments
{
    std::vector<std::string> vecLetters;
    long long llIntervalMs = 0;
    double dTimeout = 0;
    long long llCount = 0;
    CLI::Option* pInterval = nullptr;
    CLI::Option* pTimeout = nullptr;
    CLI::Option* pCount = nullptr;
};

CLI::App* RKToolAddWatchCommand(CLI::App& app, RKToolWatchArguments& args, const std::string& strFooter);
// Fills the watch's options; -1 when the tool goes on, else the usage
// error's exit code (the line is printed).
int RKToolCheckWatch(const RKToolWatchArguments& args, RKToolOptions& options);

int RKToolWatch(RKToolContext& ctx, CRKToolEngine& engine);

#endif
