#include "error_chain.h"

namespace {

// Whether a link's "[module,line] " begins at `at`.
bool LinkBeginsAt(std::string_view text, size_t at) {
    if (at >= text.size() || text[at] != '[') {
        return false;
    }
    size_t i = at + 1;
    const size_t nameStart = i;
    while (i < text.size() && ((text[i] >= 'a' && text[i] <= 'z') || text[i] == '_')) {
        ++i;
    }
    if (i == nameStart || i >= text.size() || text[i] != ',') {
        return false;
    }
    const size_t digitsStart = ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        ++i;
    }
    return i > digitsStart && i + 1 < text.size() && text[i] == ']' && text[i + 1] == ' ';
}

}  // namespace

std::vector<std::string> ErrorChainLinks(std::string_view text) {
    std::vector<std::string> links;
    size_t begin = 0;
    for (size_t at = 1; at <= text.size(); ++at) {
        if (at < text.size() && !LinkBeginsAt(text, at)) {
            continue;
        }
        std::string_view link = text.substr(begin, at - begin);
        while (!link.empty() && link.back() == '\n') {
            link.remove_suffix(1);
        }
        if (!link.empty()) {
            links.emplace_back(link);
        }
        begin = at;
    }
    return links;
}

void PrintErrorChain(FILE* out, std::string_view text, ChainWording wording) {
    static constexpr std::string_view kSendMsg = "SendMsg: ";
    for (std::string link : ErrorChainLinks(text)) {
        const size_t body = link.find("] ");
        if (wording == ChainWording::DataFileWrite && body != std::string::npos &&
            link.compare(body + 2, kSendMsg.size(), kSendMsg) == 0) {
            link.replace(body + 2, kSendMsg.size(), "writing the data file: ");
        }
        std::fprintf(out, "%s\n", link.c_str());
    }
}
