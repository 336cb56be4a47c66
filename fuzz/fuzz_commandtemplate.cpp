// Random command templates, folders and file names against the expander of the
// command file: it must never crash, must write exactly what a plain reading
// of the escapes gives, must end every block in "\r\n", must grow only in step
// with its inputs, and a template written twice must expand to the block twice.
//
// Input: the folder, a NUL byte, the file name, a NUL byte, then the template
// (which may hold NUL bytes of its own).

#include "output/outputformat.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::string_view takeUpToNul(std::string_view& input)
{
    const std::size_t end = input.find('\0');
    const std::string_view part = input.substr(0, end);
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    return part;
}

// The template read pair by pair: "!" and the character after it form one
// escape; a "!" at the very end stands for nothing.
std::string referenceBody(std::string_view text, std::string_view folder, std::string_view name, bool& openEscape)
{
    std::string path(folder);
    if (path.empty() || path.back() != '\\')
        path += '\\';
    path += name;

    std::string body;
    openEscape = false;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '!') {
            body += text[i];
            i += 1;
        } else if (i + 1 == text.size()) {
            openEscape = true;
            i += 1;
        } else {
            const char c = text[i + 1];
            body += c == '1' ? path : c == '2' ? std::string(name) : std::string(1, c);
            i += 2;
        }
    }
    return body;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view folder = takeUpToNul(input);
    const std::string_view name = takeUpToNul(input);
    const std::string_view text = input;

    // A reused buffer is emptied first.
    std::string out = "left over from the previous match";
    buildCommandLines(out, text, folder, name);

    bool openEscape = false;
    const std::string body = referenceBody(text, folder, name, openEscape);
    require(out == body + "\r\n");
    require(out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0);

    // Every two template characters write at most one full path.
    const std::size_t pathLength = folder.size() + 1 + name.size();
    require(out.size() <= 2 + text.size() + (text.size() / 2) * pathLength);

    // Nothing carries over from one copy of a template to the next, unless
    // the first copy ends inside an escape.
    if (!openEscape) {
        std::string twice(text);
        twice += text;
        std::string doubled;
        buildCommandLines(doubled, twice, folder, name);
        require(doubled == body + body + "\r\n");
    }

    // Folder and name appear only through "!1" and "!2": a template without
    // them writes the same whatever the match.
    if (text.find('1') == std::string_view::npos && text.find('2') == std::string_view::npos) {
        std::string other;
        buildCommandLines(other, text, "Z:\\ELSEWHERE", "OTHER.NAM");
        require(other == out);
    }
    return 0;
}
