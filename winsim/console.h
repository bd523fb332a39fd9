// The terminal as the screen of the simulated machine: message boxes and dialogs are drawn as
// framed boxes and answered on standard input.
#ifndef WINSIM_CONSOLE_H
#define WINSIM_CONSOLE_H

#include <string>
#include <vector>

namespace winsim {

// Draws a framed box with a title and lines of text (long lines wrapped to the box).
void ConsoleBox(const std::string &title, const std::vector<std::string> &lines);
// Shows the prompt and reads one line; false at the end of input.
bool ConsoleReadLine(const std::string &prompt, std::string *line);
// A status line that stays until cleared (modeless dialogs).
void ConsoleStatus(const std::string &text);
void ConsoleClearStatus();

}  // namespace winsim

#endif
