#pragma once
// The console SMTP mailer that mailnote runs in-process: one command line in,
// a process-style exit code out (0 = sent). Plain C++; POSIX sockets.
//
//   mailer::setMailerXMailer("orvan/1.0");
//   int rc = mailer::runMailerCommandLine(
//       "/tmp/body.txt -server \"127.0.0.1:2525\" -to \"a@example.test\" -f \"me@example.test\"");
//
// Runs must not overlap: the run state is process-wide and reset at the start
// of every run. Only the X-Mailer text outlives a run.
#include <cstdio>
#include <string>
#include <vector>

namespace mailer {

// Splits a command line into arguments. Blanks separate arguments; a double
// quote opens or closes a quoted stretch (blanks inside belong to the
// argument, and text touching the quotes joins it). Backslashes are literal
// except before a double quote: 2n backslashes and a quote give n
// backslashes and open or close a stretch, 2n+1 give n backslashes and a
// literal quote.
std::vector<std::string> splitCommandLine(const std::string& commandLine);

// One argument written so that splitCommandLine gives it back unchanged,
// whatever it holds (blanks, quotes, backslashes, a leading '-').
std::string quoteArgument(const std::string& value);

// Copies the text (an empty text for null); while it is not empty every
// message carries "X-Mailer: " + text.
void setMailerXMailer(const char* text);

// Splits the command line and runs mailerMain with an empty element 0.
int runMailerCommandLine(const std::string& commandLine);

// While set (from any thread), a run stops at its next wait as after a
// time-out and makes no further tries; used when its owner goes away.
void setMailerCancelled(bool cancelled);

// The mailer proper, argv[0] unused.
int mailerMain(int argc, char** argv);

// Standard input and output of the mailer (stdin and stdout unless set):
// console body input, the usage text, progress lines without -log and the
// web-gateway page.
void setMailerStandardStreams(std::FILE* in, std::FILE* out);

}  // namespace mailer
