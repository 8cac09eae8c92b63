#pragma once
// pppd's secrets files (pap-secrets, chap-secrets): reading a client's secret, and changing it with
// every other line and field kept byte for byte, quoted and escaped as pppd reads words, written
// atomically with the file's owner and mode.

#include <optional>
#include <string>
#include <vector>

namespace qv {

// One word of a secrets line: where it stands in the line and what pppd reads from it.
struct TSecretWord
{
    std::size_t Begin = 0;
    std::size_t End = 0;
    std::string Value;
};

// The words of one line as pppd's option reader splits them: blanks separate, double or single
// quotes group, a backslash escapes the next character, "#" at the start of a word begins a comment.
std::vector<TSecretWord> SecretWords(const std::string& line);

// A word written so that pppd reads back exactly value.
std::string QuoteSecretWord(const std::string& value);

// The secret pppd takes for client authenticating to server (the peer's "remotename", empty when it
// has none), if a line gives one. As pppd chooses: a line matches when its client and server fields
// are the names or "*"; a line naming the client beats one naming only the server, which beats one
// naming neither; among equals the first wins.
std::optional<std::string> FindSecret(const std::string& text, const std::string& client, const std::string& server);

// The text with the secret of the line pppd takes for client and server replaced (every other line
// and field kept), when that line names the client; else a line "client server secret" ("*" for
// an empty server) appended, which pppd then prefers to lines for any client.
std::string ReplaceSecret(const std::string& text, const std::string& client, const std::string& server,
                          const std::string& secret);

// Rewrites a secrets file atomically (temporary file, flush, rename), keeping its owner and mode;
// a new file is private (0600). Returns an empty text, or why it failed.
std::string WriteSecretsFile(const std::string& path, const std::string& text);

} // namespace qv
