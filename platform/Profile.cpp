// The profile functions that work the same way on every platform: reads from one snapshot of a file, and
// the store that sets many keys and replaces the file once.
#include "platform/Profile.h"

#include <new>
#include <string>

namespace platform {

ProfileSnapshot::ProfileSnapshot(const char* path) {
    try {
        std::string bytes;
        load_ = ReadRegularFile(path, bytes).problem;
        if (load_ == FileProblem::None)
            document_.emplace(std::move(bytes));
    } catch (const std::bad_alloc&) {
        load_ = FileProblem::OutOfMemory;
        document_.reset();
    }
}

unsigned int ProfileSnapshot::ReadString(const char* section, const char* key, const char* fallback,
                                         char* out, unsigned int size) const {
    if (!out || size == 0)
        return 0;
    if (!section || !key) {
        std::string_view text = fallback ? fallback : "";
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        return profile_text::CopyCut(text, out, size);
    }
    // Windows answers a file it cannot read with the caller's default untouched, and a missing one (or a
    // missing key) with the default as it would read from the file, quotes dropped.
    if (load_ == FileProblem::Missing)
        return profile_text::CopyEntry(profile_text::DefaultText(fallback), out, size);
    if (!document_)
        return profile_text::CopyCut(profile_text::DefaultText(fallback), out, size);
    const profile_text::Line* line = document_->FindKey(section, key);
    if (line && line->hasValue)
        return profile_text::CopyEntry(line->value, out, size);
    return profile_text::CopyEntry(profile_text::DefaultText(fallback), out, size);
}

FileResult WriteProfileEntries(const char* section, const ProfileEntry* entries, std::size_t count,
                               const char* path) {
    if (!section || !path || (count > 0 && !entries))
        return FileResult{FileProblem::Other, 0};
    for (std::size_t i = 0; i < count; ++i)
        if (!entries[i].key || !entries[i].value)
            return FileResult{FileProblem::Other, 0};
    try {
        std::string bytes;
        const FileResult read = ReadRegularFile(path, bytes);
        if (!read.Ok() && read.problem != FileProblem::Missing)
            return read;
        profile_text::Document document(std::move(bytes));
        for (std::size_t i = 0; i < count; ++i)
            if (!document.Set(section, entries[i].key, entries[i].value))
                return FileResult{FileProblem::NotEditable, 0};
        return ReplaceWholeFile(path, document.bytes());
    } catch (const std::bad_alloc&) {
        return FileResult{FileProblem::OutOfMemory, 0};
    }
}

} // namespace platform
