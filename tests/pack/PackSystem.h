// What the pack tests need to know or do in each system's own way: running
// the qelpack program, and the system's texts for the errors they expect.
// posix/PackSystem.cc and win32/PackSystem.cc, chosen by CMake.
#pragma once

#include <string>

namespace qel::test {

// One argument quoted for the command line RunProgram takes.
std::string QuotedArgument(const std::string& argument);

// Runs `program` with `arguments` (a command line, its arguments quoted by
// QuotedArgument where needed), its output and errors both going to the
// file `log`; its exit code, or -1 when it did not end by itself.
int RunProgram(const std::string& program, const std::string& arguments, const std::string& log);

// The system's texts for a path whose folder is missing and for a name
// longer than the file system allows.
std::string NoSuchFolderText();
// Makes a named pipe (a FIFO) at `path`; false where the file system holds
// none (Windows).
bool MakeNamedPipe(const std::string& path);
std::string NameTooLongText();

}  // namespace qel::test
