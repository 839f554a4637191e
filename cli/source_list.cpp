#include "cli/source_list.h"

#include "cli/name_list.h"
#include "cli/quoted_name.h"
#include "cli/tree_walk.h"
#include "convert/convert_document.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unordered_map>

namespace orv::cli {

namespace {

std::string describe(const std::string& pathShown, const Failure& failure,
                     std::string (*name)(std::string_view)) {
    if (failure.earlier.empty())
        return pathShown + ": " + failure.reason;
    return pathShown + ": output name " + name(failure.output) + " already used by " +
           name(failure.earlier);
}

std::string asIs(std::string_view name) {
    return std::string(name);
}

// The last component of path, trailing slashes aside.
std::string baseName(const std::string& path) {
    const std::size_t end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return "";
    const std::size_t slash = path.rfind('/', end);
    return path.substr(slash == std::string::npos ? 0 : slash + 1,
                       end - (slash == std::string::npos ? 0 : slash + 1) + 1);
}

// name from a list as a path to place under the output folder, as
// "rsync --files-from" does: "./d1//X.ORV" as "d1/X.ORV". An absolute name
// or one going up through ".." has no place there: false.
bool placeBelow(const std::string& name, std::string& below) {
    if (name.starts_with('/'))
        return false;
    below.clear();
    std::size_t at = 0;
    while (at <= name.size()) {
        std::size_t slash = name.find('/', at);
        if (slash == std::string::npos)
            slash = name.size();
        const std::string_view part = std::string_view(name).substr(at, slash - at);
        if (part == "..")
            return false;
        if (!part.empty() && part != ".")
            below.append(below.empty() ? "" : "/").append(part);
        at = slash + 1;
    }
    return true;
}

} // namespace

std::string firstOutput(const Options& options, const std::string& outputBase) {
    auto [text, accent, rtf] = outputPaths(outputBase);
    return options.accent ? accent : options.rtf ? rtf : text;
}

std::string pathKey(const std::string& path) {
    std::string key;
    key.reserve(path.size() + 2);
    if (!path.starts_with('/'))
        key.push_back('.');
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t slash = path.find('/', at);
        if (slash == std::string::npos)
            slash = path.size();
        const std::string_view part = std::string_view(path).substr(at, slash - at);
        if (!part.empty() && part != ".")
            key.append("/").append(part);
        at = slash + 1;
    }
    return key;
}

namespace {

// key with its letters in lower case: A-Z, and the Latin-1 letters' UTF-8
// two-byte forms. Other scripts' cases are not folded: should two sources'
// names differ only there, the later one to take the name finds it taken.
std::string caseFolded(std::string key) {
    for (std::size_t i = 0; i < key.size(); ++i) {
        auto& c = reinterpret_cast<unsigned char&>(key[i]);
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<unsigned char>(c - 'A' + 'a');
        } else if (c == 0xC3 && i + 1 < key.size()) {
            auto& next = reinterpret_cast<unsigned char&>(key[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97)
                next = static_cast<unsigned char>(next + 0x20);
            ++i;
        }
    }
    return key;
}

class Lister {
public:
    explicit Lister(const Options& options) : options_(options) {
        // Most runs list their operands and nothing more: one allocation
        // each for the whole batch rather than growing by steps.
        items_.reserve(options.files.size());
        owners_.reserve(options.files.size());
    }

    // A FILE operand's outputs go straight into the output folder; a name
    // from a list keeps its path there (listed is true), and so do the
    // documents found below a listed folder.
    void addOperand(const std::string& operand, bool listed) {
        // A NUL in a line-separated list would cut the name short, and
        // another file would be read in its place.
        if (operand.find('\0') != std::string::npos)
            return fail(operand, EINVAL);
        std::string place;
        if (!listed)
            place = baseName(operand);
        else if (!options_.outputDir.empty() && !placeBelow(operand, place))
            return fail(operand, "a listed name must be relative, without '..', to go under the "
                                 "output folder");
        struct stat status;
        if (options_.recursive && ::stat(operand.c_str(), &status) == 0 &&
            S_ISDIR(status.st_mode)) {
            walkTree(
                operand, options_.followLinks,
                [&](const std::string& relative, bool viaLink) {
                    add(joinPath(operand, relative), listed ? joinPath(place, relative) : relative,
                        !viaLink);
                },
                [&](const std::string& folder, int error) { fail(folder, error); });
        } else {
            add(operand, place, false);
        }
    }

    void fail(const std::string& path, int error) { fail(path, std::strerror(error)); }
    void fail(const std::string& path, const char* reason) {
        items_.push_back({path, path, {path, reason, "", ""}, 0, false});
    }

    std::vector<SourceItem> take() { return std::move(items_); }

private:
    void add(const std::string& source, const std::string& belowOutputDir, bool walked) {
        SourceItem item{source,
                        options_.outputDir.empty() ? source
                                                   : joinPath(options_.outputDir, belowOutputDir),
                        {},
                        0,
                        walked};
        std::string key = pathKey(item.outputBase);
        const auto [twin, isFirst] = caseTwins_.try_emplace(caseFolded(key), items_.size());
        const auto [first, isNew] = owners_.try_emplace(std::move(key), items_.size());
        if (!isNew)
            item.failure = {source, "", firstOutput(options_, item.outputBase),
                            items_[first->second].source};
        else if (!isFirst)
            item.caseTwinOf = items_[twin->second].source;
        items_.push_back(std::move(item));
    }

    const Options& options_;
    std::vector<SourceItem> items_;
    std::unordered_map<std::string, std::size_t> owners_;    // output name -> its source's item
    std::unordered_map<std::string, std::size_t> caseTwins_; // the same, case folded
};

} // namespace

std::string Failure::shown() const {
    return describe(quotedName(path), *this, quotedName);
}

std::string Failure::text() const {
    return describe(path, *this, asIs);
}

std::vector<SourceItem> listSources(const Options& options) {
    Lister lister(options);
    for (const std::string& operand : options.files)
        lister.addOperand(operand, false);
    for (const std::string& list : options.filesFrom) {
        std::vector<std::string> names;
        const int error = readNameList(list, options.nullSeparated, names);
        for (const std::string& name : names)
            lister.addOperand(name, true);
        if (error != 0)
            lister.fail(list, error);
    }
    return lister.take();
}

} // namespace orv::cli
