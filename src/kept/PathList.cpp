#include "kept/PathList.h"

#include <fcntl.h>
#include <stdio.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "base/UniqueFd.h"

namespace kept {

using namespace base;

namespace fs = std::filesystem;

namespace {

// A name that stays inside its folder.
bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

bool sameNameNocase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

// The item's absolute path without "." and ".." steps or a trailing separator.
fs::path normalised(const fs::path& item) {
    std::error_code error;
    fs::path path = fs::absolute(item, error).lexically_normal();
    if (path.has_relative_path() && path.filename().empty()) {
        path = path.parent_path();
    }
    return path;
}

// Finds or makes the folder name inside parent. An existing folder is taken as it is.
int16_t folderIn(const fs::path& parent, const std::string& name, fs::path& folder) {
    if (!isPlainName(name)) {
        return EINVAL;
    }
    fs::path wanted = parent / name;
    if (::mkdir(wanted.c_str(), 0777) != 0) {
        int error = errno;
        struct stat info {};
        if (error != EEXIST) {
            return static_cast<int16_t>(error);
        }
        if (::stat(wanted.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            return ENOTDIR;
        }
    }
    folder = wanted;
    return 0;
}

}  // namespace

void ParsePath(const std::string& path, CList<std::string>& list) {
    std::string_view rest = path;
    while (!rest.empty()) {
        std::size_t slash = rest.find('/');
        if (std::string_view piece = rest.substr(0, slash); !piece.empty()) {
            list.append(std::string(piece));
        }
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
}

int16_t MakeDirectoriesList(const fs::path& item, CList<std::string>& list) {
    list.clear();
    struct stat info {};
    if (item.empty() || ::stat(item.c_str(), &info) != 0) {
        return static_cast<int16_t>(item.empty() ? ENOENT : errno);
    }
    fs::path current = normalised(item);
    if (S_ISDIR(info.st_mode) && !current.filename().empty()) {
        list.append(current.filename().string());
    }
    // Climb to the root, which has no name; the list fills innermost first.
    for (fs::path parent = current.parent_path(); parent != current;
         current = parent, parent = current.parent_path()) {
        if (parent.filename().empty()) {
            break;
        }
        list.append(parent.filename().string());
    }
    list.reverse();
    return 0;
}

unsigned char DirectoriesListBeginsWithDirectoriesList(CList<std::string>& a,
                                                       CList<std::string>& b) {
    if (b.count > a.count) {
        return 0;
    }
    for (const elem<std::string>*x = a.head, *y = b.head; y != nullptr; x = x->next, y = y->next) {
        if (!sameNameNocase(x->value, y->value)) {
            return 0;
        }
    }
    return 1;
}

void TrimDirectoriesList(CList<std::string>& list, int32_t n) {
    for (; n > 0 && list.head != nullptr; --n) {
        std::string().swap(list.head->value);
        list.remove(&list.head->value);
    }
}

void DisposeDirectoriesList(CList<std::string>& list) {
    for (elem<std::string>* e = list.head; e != nullptr; e = e->next) {
        std::string().swap(e->value);
    }
}

int16_t MakeDirectory(const fs::path& parent, CList<std::string>& list, fs::path& out) {
    fs::path folder = parent;
    for (const elem<std::string>* e = list.head; e != nullptr; e = e->next) {
        if (int16_t status = folderIn(folder, e->value, folder); status != 0) {
            return status;
        }
        out = folder;
    }
    return 0;
}

int16_t MakeFile(const fs::path& parent, CList<std::string>& list, const std::string& name,
                 fs::path& out) {
    fs::path folder = parent;
    if (list.count > 0) {
        if (int16_t status = MakeDirectory(parent, list, folder); status != 0) {
            return status;
        }
    }
    if (!isPlainName(name)) {
        return EINVAL;
    }
    fs::path file = folder / name;
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0) {
        const UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd) {
            return static_cast<int16_t>(errno);
        }
    }
    out = file;
    return 0;
}

void ChangeFilesSuffix(const fs::path& item, const std::string& oldSuffix,
                       const std::string& newSuffix) {
    if (newSuffix.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        return;
    }
    fs::path from = normalised(item);
    struct stat info {};
    if (::lstat(from.c_str(), &info) != 0) {
        return;
    }
    std::string name = from.filename().string();
    std::size_t dot = name.rfind('.');
    bool hasExtension = dot != std::string::npos && dot > 0 && dot + 1 < name.size();
    if (hasExtension && !sameNameNocase(name.substr(dot + 1), oldSuffix)) {
        return;
    }
    std::string renamed =
        hasExtension ? name.substr(0, dot + 1) + newSuffix : name + "." + newSuffix;
    fs::path to = from.parent_path() / renamed;
    // Another item that already has the new name is never overwritten.
    ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
}

}  // namespace kept
