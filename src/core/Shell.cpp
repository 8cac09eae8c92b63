#include "core/Shell.h"

#include "core/Errors.h"
#include "core/Prompter.h"
#include "core/Services.h"
#include "core/Strings.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace qv {

namespace fs = std::filesystem;

bool MatchesMask(const std::string& name, const std::string& mask)
{
    // Iterative wildcard match with backtracking to the last "*".
    std::size_t n = 0, m = 0, star = std::string::npos, mark = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            star = m++;
            mark = n;
        } else if (star != std::string::npos) {
            m = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

std::vector<std::string> ListFiles(const std::string& masks)
{
    std::vector<std::string> result;
    for (const std::string& raw : Split(masks, ';')) {
        const std::string mask = Trim(raw);
        if (mask.empty())
            continue;
        const fs::path p(mask);
        const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
        const std::string pattern = p.filename().string();
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            if (!it->is_regular_file(ec))
                continue;
            const std::string name = it->path().filename().string();
            if (MatchesMask(name, pattern))
                result.push_back(p.has_parent_path() ? (folder / name).string() : name);
        }
    }
    return result;
}

bool ForceDeleteFile(const std::string& name)
{
    std::error_code ec;
    fs::permissions(name, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
    return fs::remove(name, ec) && !ec;
}

std::string DesktopFolder(const TAppEnvironment& env)
{
    return env.DesktopDir;
}
std::string StartupFolder(const TAppEnvironment& env)
{
    return env.ConfigDir + "/autostart";
}
std::string FavoritesFolder(const TAppEnvironment& env)
{
    return env.DataHome + "/applications";
}
std::string ProgramFilesFolder(const TAppEnvironment& env)
{
    return env.BinDir;
}

namespace {

std::string QuoteExecArg(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`=%") == std::string::npos)
        return arg;
    std::string q = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            q += '\\';
        q += c;
    }
    return q + "\"";
}

// Values of a desktop entry escape line breaks and backslashes.
std::string EscapeValue(const std::string& v)
{
    std::string out;
    for (char c : v) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string UnescapeValue(const std::string& v)
{
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            const char c = v[++i];
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == 's' ? ' ' : c;
        } else {
            out += v[i];
        }
    }
    return out;
}

} // namespace

std::vector<std::string> SplitExecLine(const std::string& exec)
{
    std::vector<std::string> args;
    std::string cur;
    bool inQuotes = false, any = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (inQuotes) {
            if (c == '\\' && i + 1 < exec.size())
                cur += exec[++i];
            else if (c == '"')
                inQuotes = false;
            else
                cur += c;
        } else if (c == '"') {
            inQuotes = true;
            any = true;
        } else if (c == ' ' || c == '\t') {
            if (any || !cur.empty())
                args.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += c;
        }
    }
    if (any || !cur.empty())
        args.push_back(cur);
    return args;
}

std::string DesktopExecLine(const std::string& target, const std::string& arguments)
{
    // "%" starts a field code in an Exec line: a literal one is written "%%".
    std::string line = ReplaceAll(QuoteExecArg(target), "%", "%%");
    for (const std::string& a : SplitExecLine(arguments))
        line += " " + ReplaceAll(QuoteExecArg(a), "%", "%%");
    return line;
}

void CreateShortcut(const std::string& target, const std::string& arguments, const std::string& name,
                    const std::string& folder, const std::string& description, const std::string& workingFolder)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::string file = folder + "/" + name + ".desktop";
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out)
        throw EQvError("Fallita la CreateShortcut: " + file);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Version=1.0\n"
        << "Name=" << EscapeValue(name) << "\n";
    if (!description.empty())
        out << "Comment=" << EscapeValue(description) << "\n";
    out << "Exec=" << EscapeValue(DesktopExecLine(target, arguments)) << "\n";
    if (!workingFolder.empty())
        out << "Path=" << EscapeValue(workingFolder) << "\n";
    out << "Icon=quorvanta\n"
        << "Terminal=false\n"
        << "Categories=Network;Dialup;\n";
    out.close();
    if (!out)
        throw EQvError("Fallita la CreateShortcut: " + file);
    fs::permissions(file, fs::perms::owner_exec, fs::perm_options::add, ec);
}

TShortcut ReadShortcut(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw EQvError("Fallita la ReadShortcut: " + file);
    TShortcut s;
    bool inEntry = false, sawEntry = false, sawExec = false;
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            inEntry = line == "[Desktop Entry]";
            sawEntry = sawEntry || inEntry;
            continue;
        }
        if (!inEntry)
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = UnescapeValue(Trim(line.substr(eq + 1)));
        if (key == "Exec") {
            sawExec = true;
            std::vector<std::string> args;
            for (const std::string& a : SplitExecLine(value)) {
                // Field codes (%f, %U, %i, ...) stand for what a launcher passes: nothing here.
                if (a.size() == 2 && a[0] == '%' && a[1] != '%')
                    continue;
                args.push_back(ReplaceAll(a, "%%", "%"));
            }
            if (!args.empty()) {
                s.Target = args[0];
                for (std::size_t i = 1; i < args.size(); ++i)
                    s.Arguments += (i > 1 ? " " : "") + QuoteExecArg(args[i]);
            }
        } else if (key == "Name") {
            s.Name = value;
        } else if (key == "Path") {
            s.WorkingFolder = value;
        } else if (key == "Comment") {
            s.Description = value;
        }
    }
    if (!sawEntry || !sawExec)
        throw EQvError("Fallita la ReadShortcut::GetPath: " + file);
    return s;
}

std::string AutoStartFile(const TAppEnvironment& env)
{
    return StartupFolder(env) + "/Quorvanta.desktop";
}

void SetAutoStart(const TAppEnvironment& env, bool on, const std::string& arguments)
{
    std::error_code ec;
    fs::remove(AutoStartFile(env), ec);
    if (on)
        CreateShortcut(env.ExePath, arguments, "Quorvanta", StartupFolder(env), "Controllo dei costi di connessione");
}

void ShutdownWindows(TServices& services, bool force)
{
    const std::string error = services.System.PowerOff(force);
    if (!error.empty())
        ShowError(services.Prompter, "Impossibile chiudere " + services.System.OsName() + "\r[" + error + "]");
}

bool CheckCommonControls()
{
    return true;
}

} // namespace qv
