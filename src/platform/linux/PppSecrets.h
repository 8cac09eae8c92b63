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

// The secret of the first line for client (any server), if there is one.
std::optional<std::string> FindSecret(const std::string& text, const std::string& client);

// The text with the secret of every line for client replaced (other fields kept), or a line
// "client * secret" appended when there is none.
std::string ReplaceSecret(const std::string& text, const std::string& client, const std::string& secret);

// Rewrites a secrets file atomically (temporary file, flush, rename), keeping its owner and mode;
// a new file is private (0600). Returns an empty text, or why it failed.
std::string WriteSecretsFile(const std::string& path, const std::string& text);

} // namespace qv
