#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace tolvar::test {

// Runs a shell command with its output thrown away; its exit status.
int Shell(const std::string& command);
// What a shell command prints on standard output, or nullopt when it fails.
std::optional<std::string> CommandOutput(const std::string& command);
// The id of a shown top-level window of the given size ("315x157") on an X
// display, or "".
std::string ShownWindowOfSize(const std::string& display, const std::string& size);
// A whole file as bytes; empty when it cannot be read.
std::string ReadText(const std::filesystem::path& path);
// Polls until check holds, every 100 ms for at most within.
bool Eventually(const std::function<bool()>& check,
                std::chrono::milliseconds within = std::chrono::seconds(10));

} // namespace tolvar::test
