#include "errors/message_wrap.h"

namespace mrv {

std::string wrap_message_lines(std::string_view text, unsigned width)
{
    if (width == 0)
        return std::string(text);
    std::string out;
    std::string line;
    out.reserve(text.size() + text.size() / 8);

    auto put = [&](char c) {
        line.push_back(c);
        if (width == 0xFF || line.size() < width)
            return;
        auto space = line.rfind(' ');
        if (space == std::string::npos) {
            out += line;
            line.clear();
        } else {
            auto run = space;
            while (run > 0 && line[run - 1] == ' ')
                --run;
            out.append(line, 0, run);
            line.erase(0, space + 1);
        }
        out += "\r\n";
    };

    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            put(' ');
        } else if (c == '\n') {
            put(' ');
        } else {
            put(c);
        }
    }
    out += line;
    return out;
}

}  // namespace mrv
