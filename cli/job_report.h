// How the command lines end a format job: the status lines the dialog would
// show, the library's reason for a failure, and the exit status.
#pragma once

#include <string>
#include <string_view>

// result: the job's FormatResult. failureText: what the library said of a
// failed build ("" for nothing); cardFaulty: a read-back found the card bad.
int ReportJobEnd(int result, const std::string& path, std::string_view failureText, bool cardFaulty);
