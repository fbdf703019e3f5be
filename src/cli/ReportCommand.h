#pragma once

#include <string>

class CliSession;

// `nivaro-cli report [--out DIR]`: writes the web report of the history file into DIR (default:
// the option ReportFolder) in the options' language, unit and date format. Files in DIR the
// report did not write are left alone (each named in a warning; the exit code is then a failure).
int RunReport(CliSession& session, const std::string& folder);

// After an import whose datasets are on disk: refreshes the report in the option ReportFolder,
// when one is set. A report that cannot be written is one warning line on stderr; the import
// stands.
void RefreshReportAfterImport(const CliSession& session);
