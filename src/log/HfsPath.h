#pragma once

#include <optional>
#include <string>
#include <string_view>

// The inverse of ConvertPosixPathToHFSPath (foundation/Conversions.h), which
// names the root directory as the volume "Root", separates names with ":" and
// swaps ":" inside a name for "/". Together they carry a file's path through
// interfaces that take the colon-separated form.
//
// "Root:home:ann:a/b.log" gives "/home/ann/a:b.log" and "Root" gives "/". A
// path that is already absolute POSIX (the forward conversion leaves those it
// cannot convert) is returned as it is. Anything else, including empty names
// ("Root::x"), gives nothing.
std::optional<std::string> ConvertHFSPathToPosixPath(std::string_view hfsPath);
