// The command line: the tail after the program name, its items, the switches and the usage text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/report.h"
#include "core/run_options.h"
#include "platform/console.h"

namespace cairn {

enum class CommandLineOutcome { Proceed, UsageShown, SwitchConflict };

inline constexpr int MinCommandItems = 4;
inline constexpr int MaxCommandItems = 9;
inline constexpr unsigned UnexpectedItemPauseMs = 1000;

// The text after the program name and the blanks that follow it.
std::string_view commandTailOf(std::string_view commandLine);

// The items of a tail, as typed (not upper-cased).
std::vector<std::string_view> splitCommandItems(std::string_view commandTail);

// Fills options from the tail. Writes the usage text, the unexpected-item lines and the /Q
// with /V error itself; switches displayEnabled off when it meets /Q.
CommandLineOutcome readCommandLine(std::string_view commandTail, RunOptions& options,
                                   ReportPrinter& printer, Console& console);

void printUsage(ReportPrinter& printer);

}  // namespace cairn
