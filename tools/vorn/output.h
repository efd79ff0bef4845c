// output.h - renders the plug-in's JSON answers for people: listings as
// aligned tables with human sizes, objects as "key: value" lines.
#ifndef VORN_TOOL_OUTPUT_H
#define VORN_TOOL_OUTPUT_H

#include <cstdint>
#include <string>

namespace vorn_cli {

// "-" for an unknown (negative) size, "512 B" below 1 KiB, else one decimal and a binary unit.
std::string human_size(int64_t bytes);

// The text with control characters replaced by '?', so names and links
// from the service cannot steer the terminal.
std::string printable(const std::string &text);

// Writes the human form of an answer to standard output: a JSON array as a
// table, an object as key: value lines, anything else as it is.
void print_human(const std::string &json);

}  // namespace vorn_cli

#endif  // VORN_TOOL_OUTPUT_H
