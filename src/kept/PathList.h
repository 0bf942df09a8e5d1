#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "base/CList.h"

namespace kept {

using base::CList;
using base::elem;

// Folder paths held as lists of their folder names, outermost first ("directories lists").
//
// Statuses are 0 on success or the errno value of the failing call. Names are compared
// without regard to ASCII case. A list element must be a plain name: empty names, "." and
// "..", and names holding "/" are refused (EINVAL) rather than followed out of the parent.

// Appends the non-empty pieces of path between "/" separators to list.
void ParsePath(const std::string& path, CList<std::string>& list);

// Fills list with the folders that hold item, from the first one below the root down to
// item's own folder; a folder item ends the list with its own name.
int16_t MakeDirectoriesList(const std::filesystem::path& item, CList<std::string>& list);

// 1 when b is a prefix of a, ignoring case; an empty b is a prefix of everything.
unsigned char DirectoriesListBeginsWithDirectoriesList(CList<std::string>& a,
                                                       CList<std::string>& b);

// Removes the first n elements (all of them when the list is shorter).
void TrimDirectoriesList(CList<std::string>& list, int32_t n);

// Lets go of every name in the list; the elements stay until the caller clears the list.
void DisposeDirectoriesList(CList<std::string>& list);

// Finds or creates the folders of list, each inside the one before, starting in parent;
// out becomes the innermost. An empty list changes nothing and succeeds.
int16_t MakeDirectory(const std::filesystem::path& parent, CList<std::string>& list,
                      std::filesystem::path& out);

// Finds or creates the file name inside the folders of list (made as by MakeDirectory), or
// inside parent when the list is empty. An existing file is taken as it is.
int16_t MakeFile(const std::filesystem::path& parent, CList<std::string>& list,
                 const std::string& name, std::filesystem::path& out);

// Renames item so that its extension is newSuffix: an extension equal to oldSuffix (ignoring
// case) is replaced, a name without one gets ".newSuffix", any other extension stays. An
// existing item of the new name is never replaced.
void ChangeFilesSuffix(const std::filesystem::path& item, const std::string& oldSuffix,
                       const std::string& newSuffix);

}  // namespace kept
