#pragma once
// The command-line help of both programs and their manual pages, made from one table each, so that
// "--help", quorvanta-cli's usage and the pages in English and Italian list the same commands.

#include <string>
#include <vector>

namespace qv {

struct TCommandHelp
{
    const char* Synopsis; // lines separated by '\n'; its first word is the command
    const char* Italian;  // what it does, in the program's language
    const char* English;  // the same for the English manual page
};
struct TOptionHelp
{
    const char* Option;
    const char* Italian;
    const char* English;
};

const std::vector<TCommandHelp>& CliCommands();
const std::vector<TOptionHelp>& CliOptions();
const std::vector<TOptionHelp>& GuiOptions();
// The first word of a synopsis: "stats" of "stats tree [--json]".
std::string CommandName(const TCommandHelp& command);

// What "--help" prints (and quorvanta-cli without a command).
std::string CliUsageText();
std::string GuiUsageText();

enum class TManLanguage
{
    English,
    Italian
};
// roff pages for man(1): quorvanta-cli(1) and quorvanta(1).
std::string CliManPage(TManLanguage language);
std::string GuiManPage(TManLanguage language);

} // namespace qv
