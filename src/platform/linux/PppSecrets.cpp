#include "platform/linux/PppSecrets.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

std::vector<TSecretWord> SecretWords(const std::string& line)
{
    std::vector<TSecretWord> words;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n) {
        while (i < n && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        if (i >= n || line[i] == '#')
            break;
        TSecretWord w;
        w.Begin = i;
        char quote = 0;
        while (i < n) {
            const char c = line[i];
            if (quote) {
                if (c == quote) {
                    quote = 0;
                    ++i;
                    continue;
                }
            } else if (c == ' ' || c == '\t' || c == '\r') {
                break;
            } else if (c == '"' || c == '\'') {
                quote = c;
                ++i;
                continue;
            }
            if (c == '\\' && i + 1 < n) {
                const char e = line[i + 1];
                const char mapped = e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 's' ? ' ' : e;
                w.Value += mapped;
                i += 2;
                continue;
            }
            w.Value += c;
            ++i;
        }
        w.End = i;
        words.push_back(std::move(w));
    }
    return words;
}

std::string QuoteSecretWord(const std::string& value)
{
    std::string out = "\"";
    for (char c : value) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out + "\"";
}

namespace {

// The lines of a text with their line ends, so that joining them gives the text back.
std::vector<std::string> LinesKeepingEnds(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto nl = text.find('\n', start);
        const std::size_t end = nl == std::string::npos ? text.size() : nl + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::string WithoutEnd(const std::string& line)
{
    return !line.empty() && line.back() == '\n' ? line.substr(0, line.size() - 1) : line;
}

} // namespace

namespace {

struct TBestLine
{
    std::size_t Index = 0;
    bool NamesClient = false;
};

// The line pppd takes, as its own search does: a word "*" stands for any name.
std::optional<TBestLine> BestLine(const std::vector<std::string>& lines, const std::string& client,
                                  const std::string& server)
{
    const auto wild = [](const TSecretWord& w) { return w.Value == "*"; };
    std::optional<TBestLine> best;
    int bestScore = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto w = SecretWords(WithoutEnd(lines[i]));
        if (w.size() < 2)
            continue;
        if (!wild(w[0]) && w[0].Value != client)
            continue;
        if (!wild(w[1]) && w[1].Value != server)
            continue;
        const int score = (wild(w[0]) ? 0 : 2) + (wild(w[1]) ? 0 : 1);
        if (score > bestScore) {
            bestScore = score;
            best = TBestLine{i, !wild(w[0])};
        }
    }
    return best;
}

} // namespace

std::optional<std::string> FindSecret(const std::string& text, const std::string& client, const std::string& server)
{
    const auto lines = LinesKeepingEnds(text);
    const auto best = BestLine(lines, client, server);
    if (!best)
        return std::nullopt;
    const auto w = SecretWords(WithoutEnd(lines[best->Index]));
    return w.size() >= 3 ? w[2].Value : std::string();
}

std::string ReplaceSecret(const std::string& text, const std::string& client, const std::string& server,
                          const std::string& secret)
{
    auto lines = LinesKeepingEnds(text);
    const auto best = BestLine(lines, client, server);
    // A line for any client serves other users too: the user's own line goes before it in pppd's choice.
    if (best && best->NamesClient) {
        std::string& line = lines[best->Index];
        const auto w = SecretWords(WithoutEnd(line));
        if (w.size() >= 3)
            line.replace(w[2].Begin, w[2].End - w[2].Begin, QuoteSecretWord(secret));
        else
            line.insert(w[1].End, " " + QuoteSecretWord(secret));
    } else {
        if (!lines.empty() && lines.back().back() != '\n')
            lines.back() += '\n';
        lines.push_back(QuoteSecretWord(client) + " " + (server.empty() ? std::string("*") : QuoteSecretWord(server)) +
                        " " + QuoteSecretWord(secret) + "\n");
    }
    std::string out;
    for (const auto& line : lines)
        out += line;
    return out;
}

std::string WriteSecretsFile(const std::string& path, const std::string& text)
{
    struct stat st {};
    const bool existed = ::stat(path.c_str(), &st) == 0;
    const std::string folder = std::filesystem::path(path).parent_path().string();
    std::string temp = folder + "/." + std::filesystem::path(path).filename().string() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return "Impossibile creare il file temporaneo in " + folder + ": " + std::strerror(errno);
    std::string why;
    const char* p = text.data();
    std::size_t left = text.size();
    while (why.empty() && left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            why = std::string("Fallita la write: ") + std::strerror(errno);
        else {
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    // The secrets keep whose they were and who may read them.
    if (why.empty() && ::fchmod(fd, existed ? (st.st_mode & 07777) : 0600) != 0)
        why = std::string("Fallita la chmod: ") + std::strerror(errno);
    if (why.empty() && existed && ::fchown(fd, st.st_uid, st.st_gid) != 0 && (st.st_uid != ::getuid()))
        why = std::string("Fallita la chown: ") + std::strerror(errno);
    if (why.empty() && ::fsync(fd) != 0)
        why = std::string("Fallita la fsync: ") + std::strerror(errno);
    if (::close(fd) != 0 && why.empty())
        why = std::string("Fallita la close: ") + std::strerror(errno);
    if (why.empty() && ::rename(temp.c_str(), path.c_str()) != 0)
        why = std::string("Fallita la rename: ") + std::strerror(errno);
    if (!why.empty())
        ::unlink(temp.c_str());
    return why;
}

} // namespace qv
