// The route and port modes of the command-line table (app/CommandLineModes.cpp), each in a file of
// its own (RouteCommand.cpp, PortCommand.cpp), and the number reading they share.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

int runRouteCommand(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);
int runPortCommand(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);

// The number after the option arguments[i] (i moves onto it), in [least, most]; nullopt with
// status set to the exit status of the message badCommandLine wrote.
std::optional<int> commandLineNumber(const std::vector<std::string>& arguments, std::size_t& i,
                                     std::FILE* err, int least, int most, int& status);

} // namespace orvex
