// --report FILE: everything a run measured, as JSON, written when the
// program ends whatever ended it; and the card's identity for a person.
#pragma once

#include "cli/command_line.h"
#include "cli/run_record.h"

#include <optional>
#include <string>

// The report's text. version: the tool's.
std::string ReportJson(const RunRecord& run, const std::string& tool, const std::string& version);

// What a person reads about who made the card, one line or a few.
std::string DescribeIdentity(const CardIdentity& identity);

// Why the report cannot go to reportPath, before anything is written to the
// card; "" when it can. card: the device, image or drive named.
std::string ReportPathProblem(const std::string& reportPath, const std::string& card);

using CardIdentifier = std::optional<CardIdentity> (*)(const std::string& path);
using ProgramEntry = int (*)(int argc, char** argv);

// Runs program with a record of the run: the card's identity first (where
// identify is given and knows the card), the report checked before the
// program and written after it, and exit status 10 for a formatted card
// that does not keep a speed class it was judged against.
int RunReported(int argc, char** argv, ToolSystem tool, const char* version, CardIdentifier identify,
                ProgramEntry program);
