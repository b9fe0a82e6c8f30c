// The texts of --help, built from the limits they quote.
#pragma once

#include <string>

std::string toolHelp();
std::string applyHelp();
std::string analyzeHelp();
