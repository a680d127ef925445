#include "file_explainer.hpp"

#include "whole_file.hpp"

namespace zolehead::explain {

namespace {

// As ReadWholeFile words it for a file.
std::string TooLarge() { return "too large: more than " + std::to_string(kMaxFileBytes) + " bytes"; }

}  // namespace

bool FileExplainer::load(const collection::WalkEntry& entry, std::string& error) {
    return collection::ReadWholeFile(entry, kMaxFileBytes, bytes_, error, &system_error_);
}

bool FileExplainer::explain(const collection::WalkEntry& entry, Story& story, std::string& error) {
    if (!load(entry, error)) return false;
    story = TellStory(bytes_);
    return true;
}

bool FileExplainer::lint(const collection::WalkEntry& entry, std::span<const std::string> ignore,
                         std::vector<Warning>& warnings, std::string& error) {
    if (!load(entry, error)) return false;
    warnings = Lint(bytes_, decoder_, ignore);
    return true;
}

Json FileExplainer::explain_json(const std::string& path) {
    Story story;
    std::string error;
    if (!explain({path, {}}, story, error)) return ErrorJson(path, error);
    return StoryJson(path, story, decoder_);
}

Json FileExplainer::lint_json(const std::string& path, std::span<const std::string> ignore) {
    std::vector<Warning> warnings;
    std::string error;
    if (!lint({path, {}}, ignore, warnings, error)) return ErrorJson(path, error);
    return WarningsJson(path, warnings);
}

Json FileExplainer::explain_bytes_json(std::string_view path, std::span<const std::uint8_t> bytes) {
    if (bytes.size() > kMaxFileBytes) return ErrorJson(path, TooLarge());
    return StoryJson(path, TellStory(bytes), decoder_);
}

Json FileExplainer::lint_bytes_json(std::string_view path, std::span<const std::uint8_t> bytes,
                                    std::span<const std::string> ignore) {
    if (bytes.size() > kMaxFileBytes) return ErrorJson(path, TooLarge());
    return WarningsJson(path, Lint(bytes, decoder_, ignore));
}

}  // namespace zolehead::explain
