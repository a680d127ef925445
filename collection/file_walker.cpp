#include "file_walker.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace zolehead::collection {

namespace {

// Neither a file, a directory nor a link: FIFO, socket, device. Above every DT_ value.
constexpr unsigned char kOtherType = 0xFF;

std::string SystemMessage(int error) { return std::generic_category().message(error); }

unsigned char TypeFromMode(mode_t mode) {
    if (S_ISREG(mode)) return DT_REG;
    if (S_ISDIR(mode)) return DT_DIR;
    if (S_ISLNK(mode)) return DT_LNK;
    return kOtherType;
}

bool EndsWithIgnoringCase(std::string_view name, std::string_view suffix) {
    if (suffix.size() > name.size()) return false;
    name.remove_prefix(name.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

}  // namespace

std::string NormalizeExtension(std::string ext) {
    if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return ext;
}

bool MatchesExtensions(std::string_view name, const std::vector<std::string>& extensions) {
    if (extensions.empty()) return true;
    for (const std::string& ext : extensions) {
        // "song.zole", not ".zole": a name that is all extension has none.
        if (name.size() > ext.size() + 1 && EndsWithIgnoringCase(name, ext) &&
            name[name.size() - ext.size() - 1] == '.') {
            return true;
        }
    }
    return false;
}

FileWalker::FileWalker(std::vector<std::string> roots, bool recursive, std::vector<std::string> extensions,
                       SkipNotice notice, bool archives)
    : roots_(std::move(roots)),
      recursive_(recursive),
      extensions_(std::move(extensions)),
      archives_(archives),
      notice_(std::move(notice)) {}

bool FileWalker::next(WalkEntry& entry) {
    entry.failure.clear();
    entry.system_error = 0;
    entry.name_wanted = true;
    for (;;) {
        if (stack_.empty()) {
            if (next_root_ == roots_.size()) return false;
            const std::string& root = roots_[next_root_++];
            struct stat st;
            if (stat(root.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                // Each PATH is walked whole, as named, even if another PATH covered it.
                visited_.clear();
                if (!recursive_) {
                    entry.path = root;
                    entry.failure = "is a directory (use -r to read the files in it)";
                    entry.system_error = EISDIR;
                    return true;
                }
                if (!enter(root, entry)) {
                    entry.path = root;
                    return true;
                }
                continue;
            }
            // A file as named, whatever its name: the reader says what is wrong with it.
            entry.path = root;
            return true;
        }

        Directory& top = stack_.back();
        if (top.next == top.children.size()) {
            stack_.pop_back();
            continue;
        }
        const Child& child = top.children[top.next++];
        std::string path = join(top.path, child.name);
        unsigned char type = child.type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (lstat(path.c_str(), &st) != 0) continue;  // gone since the listing
            type = TypeFromMode(st.st_mode);
        }
        if (type == DT_LNK) {
            // Followed, so that linked files and folders count; loops are caught in enter.
            struct stat st;
            if (stat(path.c_str(), &st) != 0) {
                if (wanted(child.name)) notice_(path, "skipped: broken symbolic link");
                continue;
            }
            type = TypeFromMode(st.st_mode);
        }
        if (type == DT_DIR) {
            if (!enter(path, entry)) {
                entry.path = std::move(path);
                return true;
            }
            continue;
        }
        const bool name_wanted = wanted(child.name);
        if (!name_wanted && !archives_) continue;
        if (type != DT_REG) {
            if (name_wanted) notice_(path, "skipped: not a regular file");
            continue;
        }
        entry.path = std::move(path);
        entry.name_wanted = name_wanted;
        return true;
    }
}

bool FileWalker::enter(const std::string& path, WalkEntry& entry) {
    const auto fail = [&entry](int error) {
        entry.failure = "cannot read directory: " + SystemMessage(error);
        entry.system_error = error;
        return false;
    };
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return fail(errno);
    struct stat st;
    if (fstat(dirfd(dir), &st) != 0) {
        const int error = errno;
        closedir(dir);
        return fail(error);
    }
    const DirectoryId id{st.st_dev, st.st_ino};
    if (!visited_.insert(id).second) {
        closedir(dir);
        const bool loop = std::any_of(stack_.begin(), stack_.end(),
                                      [&](const Directory& d) { return d.device == id.device && d.inode == id.inode; });
        notice_(path, loop ? "skipped: symbolic link loop" : "skipped: directory already read under another name");
        return true;
    }

    Directory listing{path, id.device, id.inode, {}, 0};
    int read_error = 0;
    for (;;) {
        errno = 0;
        const dirent* d = readdir(dir);
        if (d == nullptr) {
            read_error = errno;
            break;
        }
        const std::string_view name(d->d_name);
        if (name == "." || name == "..") continue;
        listing.children.push_back({std::string(name), d->d_type});
    }
    closedir(dir);
    if (read_error != 0) return fail(read_error);
    std::sort(listing.children.begin(), listing.children.end(),
              [](const Child& a, const Child& b) { return a.name < b.name; });
    stack_.push_back(std::move(listing));
    return true;
}

bool FileWalker::wanted(std::string_view name) const { return MatchesExtensions(name, extensions_); }

std::string FileWalker::join(const std::string& directory, const std::string& name) {
    std::string path;
    path.reserve(directory.size() + 1 + name.size());
    path = directory;
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

}  // namespace zolehead::collection
