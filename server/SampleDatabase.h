#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tolvar::server {

// A synthetic save of our own: pseudo-random data from seed, with the given
// name and title id in its header, sealed with a valid checksum.
std::string MakeSyntheticSave(const std::string& saveName, const std::string& titleId,
                              std::uint32_t dataBytes, std::uint32_t seed);

// Writes a sample database into dir (created when missing): several folders,
// "Online Community" and an empty one among them, saves whose names hold
// spaces and dots, one save without a file, and a code list. False when a
// file could not be written.
bool MakeSampleDatabase(const std::filesystem::path& dir);

} // namespace tolvar::server
