#include "cli/source_list.h"

#include "cli/name_list.h"
#include "cli/output_names.h"
#include "cli/quoted_name.h"
#include "cli/tree_walk.h"
#include "convert/convert_document.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace orv::cli {

namespace {

std::string describe(const std::string& pathShown, const Failure& failure,
                     std::string (*name)(std::string_view)) {
    if (!failure.nameIsTaken())
        return pathShown + ": " + failure.met.reason;
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
    auto [text, accent, rtf, unicodeText] = outputPaths(outputBase);
    return options.accent ? accent : options.rtf ? rtf : options.unicode ? unicodeText : text;
}

void SourceLister::claimAcrossBases(SourceItem& item) {
    // X's Unicode text is X.utf8's text output, X.utf8.txt: both names are
    // claimed as whole file names, marked apart from the bases' keys (which
    // start with '.' or '/'). Only a base ending in .utf8 has a text output
    // that can be another's Unicode text.
    const auto claimFile = [&](const std::string& output) {
        OutputNames::Claim claim = outputNames_->claim('\1' + pathKey(output), item.source);
        if (claim.kind == OutputNames::Claim::Kind::taken)
            item.failure = Failure::nameTaken(item.source, output, std::move(claim.earlier));
        else if (claim.kind == OutputNames::Claim::Kind::caseTwin && item.caseTwinOf.empty())
            item.caseTwinOf = std::move(claim.earlier);
    };
    const OutputPaths paths = outputPaths(item.outputBase);
    claimFile(paths.unicodeText);
    static constexpr std::string_view utf8 = ".utf8";
    const std::string_view base = item.outputBase;
    if (!item.failure.any() && base.size() >= utf8.size() &&
        std::equal(utf8.begin(), utf8.end(), base.end() - utf8.size(), [](char a, char b) {
            return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
        }))
        claimFile(paths.text);
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

std::string Failure::shown() const {
    return describe(quotedName(met.path), *this, quotedName);
}

std::string Failure::text() const {
    return describe(met.path, *this, asIs);
}

SourceLister::SourceLister(const Options& options)
    : options_(options), outputNames_(std::make_unique<OutputNames>()) {}

SourceLister::~SourceLister() = default;

void SourceLister::listOperands(const Sink& sink) {
    for (const std::string& operand : options_.files)
        addOperand(operand, false, sink);
}

void SourceLister::listNames(const Sink& sink) {
    for (const std::string& list : options_.filesFrom) {
        const int error = readNameList(list, options_.nullSeparated, [&](const std::string& name) {
            addOperand(name, true, sink);
        });
        if (error != 0)
            fail(Failure::ofError(list, error), sink);
    }
}

// A FILE operand's outputs go straight into the output folder; a name from a
// list keeps its path there (listed is true), and so do the documents found
// below a listed folder.
void SourceLister::addOperand(const std::string& operand, bool listed, const Sink& sink) {
    // A NUL in a line-separated list would cut the name short, and
    // another file would be read in its place.
    if (operand.find('\0') != std::string::npos)
        return fail(Failure::ofError(operand, EINVAL), sink);
    std::string place;
    if (!listed)
        place = baseName(operand);
    else if (!options_.outputDir.empty() && !placeBelow(operand, place))
        return fail(Failure::withReason(operand, "a listed name must be relative, without '..', "
                                                 "to go under the output folder"),
                    sink);
    struct stat status;
    if (options_.recursive && ::stat(operand.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        walkTree(
            operand, options_.followLinks,
            [&](const std::string& relative, bool viaLink) {
                add(joinPath(operand, relative), listed ? joinPath(place, relative) : relative,
                    !viaLink, sink);
            },
            [&](const std::string& folder, int error) {
                fail(Failure::ofError(folder, error), sink);
            });
    } else {
        add(operand, place, false, sink);
    }
}

// A source that fails as it is listed: the path concerned stands in it.
void SourceLister::fail(Failure failure, const Sink& sink) {
    std::string path = failure.met.path;
    sink({path, std::move(path), std::move(failure), 0, false});
}

void SourceLister::add(const std::string& source, const std::string& belowOutputDir, bool walked,
                       const Sink& sink) {
    SourceItem item{source,
                    options_.outputDir.empty() ? source
                                               : joinPath(options_.outputDir, belowOutputDir),
                    {},
                    0,
                    walked};
    OutputNames::Claim claim = outputNames_->claim(pathKey(item.outputBase), source);
    if (claim.kind == OutputNames::Claim::Kind::taken)
        item.failure = Failure::nameTaken(source, firstOutput(options_, item.outputBase),
                                          std::move(claim.earlier));
    else if (claim.kind == OutputNames::Claim::Kind::caseTwin)
        item.caseTwinOf = std::move(claim.earlier);
    if (options_.unicode && options_.text && !item.failure.any())
        claimAcrossBases(item);
    sink(std::move(item));
}

} // namespace orv::cli
