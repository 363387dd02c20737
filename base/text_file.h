// Test helper: whole files as text, for tests that set up and check files byte for byte.
#pragma once

#include <filesystem>
#include <string>

// Whole file as text; empty when it cannot be read.
std::string readText(std::filesystem::path const& file);
// Creates or replaces the file with exactly text; throws std::runtime_error when it cannot.
void writeText(std::filesystem::path const& file, std::string const& text);
