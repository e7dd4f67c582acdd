#pragma once

#include <string>
#include <string_view>

// Files that are either there whole, on the disk, or not there at all.
namespace quillet::durable {

// Writes content to a temporary name beside path, syncs it, renames it to path and syncs the
// folder, so that after a crash path is either absent or complete. Refuses to replace an
// existing file unless replace is true. Throws std::system_error.
void writeFile(const std::string &path, std::string_view content, bool replace = false);

// Copies the file from to to (a new file, synced), a buffer at a time.
void copyFile(const std::string &from, const std::string &to);

// Renames from to to (an atomic replacement when to exists) and syncs the folder.
void rename(const std::string &from, const std::string &to);

// Syncs a file's contents, or a folder's list of names, to the disk.
void sync(const std::string &path);

// Makes the folder (one level) when it is not there.
void makeFolder(const std::string &path);

// The folder a path is in: "." for a bare name.
std::string folderOf(const std::string &path);

// A local date and time for file names: "20261207-134700".
std::string timestamp();

} // namespace quillet::durable
