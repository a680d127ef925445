// Turns the PATH arguments into the files to read, in order: each argument
// as given, and with -r every file under a directory, sorted by name within
// each directory. Walks lazily, one directory listing at a time.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace zolehead::collection {

struct WalkEntry {
    std::string path;
    std::string failure;   // set when the walk already knows the file cannot be read
    int system_error = 0;  // the errno behind `failure`
    // False for a file whose name fails the extension filter, walked only
    // because it may be an archive whose entries pass it.
    bool name_wanted = true;
};

// Whether `name` ends in "." and one of `extensions` (lower case, no dot),
// ignoring case; every name passes an empty list. A name that is all
// extension (".zole") has none.
bool MatchesExtensions(std::string_view name, const std::vector<std::string>& extensions);

// An --ext argument as the walker matches it: "ZOLE" and ".zole" become
// "zole". An empty result stands for no extension and is to be left out.
std::string NormalizeExtension(std::string ext);

class FileWalker {
public:
    // Receives files and directories that are passed over, with the reason.
    using SkipNotice = std::function<void(const std::string& path, std::string_view reason)>;

    // `extensions` as NormalizeExtension gives them; empty: every file.
    // With `archives`, files whose names fail the extension filter are
    // walked too, with name_wanted false: the filter then picks the entries
    // of those that are archives.
    FileWalker(std::vector<std::string> roots, bool recursive, std::vector<std::string> extensions, SkipNotice notice,
               bool archives = false);

    // The next file to read; false when the walk is over.
    bool next(WalkEntry& entry);

private:
    struct Child {
        std::string name;
        unsigned char type;  // a DT_ constant from readdir
    };
    struct Directory {
        std::string path;
        dev_t device;
        ino_t inode;
        std::vector<Child> children;
        std::size_t next = 0;
    };
    struct DirectoryId {
        dev_t device;
        ino_t inode;
        friend bool operator==(const DirectoryId&, const DirectoryId&) = default;
    };
    struct DirectoryIdHash {
        std::size_t operator()(const DirectoryId& id) const noexcept {
            return std::hash<unsigned long long>()(static_cast<unsigned long long>(id.inode) * 31u +
                                                   static_cast<unsigned long long>(id.device));
        }
    };

    // Opens a directory and pushes its listing. Returns false with the
    // entry's failure set when it cannot be listed.
    bool enter(const std::string& path, WalkEntry& entry);
    bool wanted(std::string_view name) const;
    static std::string join(const std::string& directory, const std::string& name);

    std::vector<std::string> roots_;
    std::size_t next_root_ = 0;
    bool recursive_;
    std::vector<std::string> extensions_;
    bool archives_;
    SkipNotice notice_;
    std::vector<Directory> stack_;
    std::unordered_set<DirectoryId, DirectoryIdHash> visited_;
};

}  // namespace zolehead::collection
