#pragma once
// The per-user folders and the small path operations the program needs. Paths are UTF-8. Linux
// separates with "/"; Windows writes "\" and accepts "/" too (so Linux-style paths such as
// "/tmp/x" keep working under Wine, on the current drive).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ResultCode.h"

namespace tola {

// The separator this platform writes.
extern const char kPathSeparator;
// Whether `c` separates path components here.
bool IsPathSeparator(char c);
// A part of a path that is never created as a folder: the root, and on Windows a drive ("C:"), a
// drive root and a network server name ("\\server").
bool IsPathRoot(const std::string& prefix);

// Linux: $HOME, else the home folder of the user database entry. Windows: the user's profile folder.
// Empty if it is not known.
std::string HomeFolder();
// Linux: $XDG_CONFIG_HOME when absolute, else ~/.config. Windows: the application-data folder.
std::string ConfigFolder();
// Linux: $XDG_DATA_HOME when absolute, else ~/.local/share; empty without a home folder.
// Windows: the shell's per-user application-data folder (created if missing).
std::string AppDataFolder();
// Linux: $XDG_DOCUMENTS_DIR, else the XDG_DOCUMENTS_DIR line of user-dirs.dirs in the configuration
// folder (with $HOME expanded), else ~/Documents; empty if none of them can be found.
// Windows: the shell's documents folder.
std::string DocumentsFolder();

// The names in a folder, in the order the system lists them ("." and ".." included where the
// system lists them); false when the folder cannot be listed.
bool ListFolder(const std::string& folder, std::vector<std::string>& names);
// Removes a file (not a folder).
ResultCode RemoveFile(const std::string& path);

// Both follow symbolic links.
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);

// Where a write of `path` may land: the path itself when nothing or a regular file is there, the
// file a symbolic link points at when that is a regular file (the link stays). A dangling link, a
// device, a pipe, a socket or a folder is refused (kNotRegularFile, kErrorDirectory), so that a
// saved file never takes the place of anything but a regular file.
ResultCode ReplaceableTarget(const std::string& path, std::string& target);
// What can be known before a long operation about writing `path`: a usable name, an existing
// folder this user may write in with at least `minimumFreeBytes` free, and nothing there that
// ReplaceableTarget refuses.
ResultCode CheckWritableFile(const std::string& path, std::uint64_t minimumFreeBytes = 64 * 1024);
// The folder part of that check, for a file whose name is not known yet.
ResultCode CheckWritableFolder(const std::string& folder, std::uint64_t minimumFreeBytes = 64 * 1024);

// One level; kErrorAlreadyExists when anything of that name is there.
ResultCode CreateFolder(const std::string& path, unsigned mode = 0777);
// Every missing folder of the path, from the first component down; roots (IsPathRoot) are left
// alone. A folder that is already there, or something else of that name, is no error (the caller
// checks the result with IsDirectory); any other failure stops the walk and is returned.
ResultCode CreateFolderPath(const std::string& path, unsigned mode = 0777);

// The folder without trailing separators, one separator, then the name. An empty folder gives the
// name alone.
std::string JoinPath(const std::string& folder, const std::string& name);
// The path without its last component and without trailing separators: "a/b/c" -> "a/b", "/x" ->
// "/", "x" -> "" (no folder part), "a/b/" -> "a/b" (the empty last component is removed).
std::string FolderOf(const std::string& path);
// The last component: "a/b.txt" -> "b.txt", "a/b/" -> "".
std::string FileNameOf(const std::string& path);
// A relative path made full from the current folder; an absolute or empty one as it is.
std::string AbsolutePath(const std::string& path);
// The extension of the last component (from its last ".", a leading "." of a hidden file does not
// count) replaced by `newExt`, which may be given with or without its dot; an empty `newExt`
// removes the extension.
std::string RenameExtension(const std::string& path, const std::string& newExt);

}  // namespace tola
