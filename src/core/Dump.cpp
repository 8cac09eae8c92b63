#include "core/Dump.h"

#include "core/DateTime.h"
#include "core/Strings.h"

#include <bit>
#include <cmath>
#include <cstdio>

namespace qv {

std::string DoubleHex(double value)
{
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(value)));
    return buf;
}

std::string QuoteBytes(const std::string& cp1252)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out = "\"";
    for (char c : cp1252) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b > 0x7E || c == '"' || c == '#' || c == '\\') {
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

namespace {

std::string FloatComment(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", v);
    std::string s = buf;
    // "1.79769313486232E+308" -> "1.79769313486232E308", as the program prints floats.
    s = ReplaceAll(s, "E+", "E");
    return s;
}

void DumpProps(std::string& out, TPersistent& obj, const TPropTable& table, const std::string& prefix);

void Line(std::string& out, const std::string& path, const std::string& value, const std::string& comment = {})
{
    out += path;
    out += " = ";
    out += value;
    if (!comment.empty()) {
        out += "  # ";
        out += comment;
    }
    out += '\n';
}

void DumpProps(std::string& out, TPersistent& obj, const TPropTable& table, const std::string& prefix)
{
    for (const TPropDef& p : table.Props) {
        const std::string path = prefix + p.Name;
        switch (p.Kind) {
        case TPropKind::Integer:
        case TPropKind::Int64:
            Line(out, path, std::to_string(p.GetInt(obj)));
            break;
        case TPropKind::UInt32:
            Line(out, path, std::to_string(static_cast<std::uint32_t>(p.GetInt(obj))));
            break;
        case TPropKind::Boolean:
            Line(out, path, p.GetInt(obj) ? "True" : "False");
            break;
        case TPropKind::Enum: {
            const std::int64_t v = p.GetInt(obj);
            Line(out, path,
                 v >= 0 && static_cast<std::size_t>(v) < p.EnumNames.size() ? p.EnumNames[static_cast<std::size_t>(v)]
                                                                              : std::to_string(v));
            break;
        }
        case TPropKind::Ident: {
            const std::int64_t v = p.GetInt(obj);
            const std::string ident = IdentOf(p, v);
            Line(out, path, ident.empty() ? std::to_string(v) : ident);
            break;
        }
        case TPropKind::Set: {
            const std::int64_t v = p.GetInt(obj);
            std::string members;
            for (std::size_t i = 0; i < p.EnumNames.size() && i < 63; ++i)
                if (v & (std::int64_t{1} << i))
                    members += (members.empty() ? "" : ", ") + p.EnumNames[i];
            Line(out, path, "[" + members + "]");
            break;
        }
        case TPropKind::Float: {
            const double v = p.GetFloat(obj);
            Line(out, path, DoubleHex(v), FloatComment(v));
            break;
        }
        case TPropKind::DateTime: {
            const double v = p.GetFloat(obj);
            std::string comment = FloatComment(v);
            if (std::isfinite(v) && std::fabs(v) < 3.0e6)
                comment += " = " + FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", v);
            Line(out, path, DoubleHex(v), comment);
            break;
        }
        case TPropKind::String: {
            const std::string bytes = Utf8ToCp1252(p.GetStr(obj));
            Line(out, path, QuoteBytes(bytes), bytes.size() > 64 ? "len " + std::to_string(bytes.size()) : "");
            break;
        }
        case TPropKind::Binary: {
            const std::string bytes = p.GetStr(obj);
            Line(out, path + ".Size", std::to_string(bytes.size()));
            static const char* hex = "0123456789ABCDEF";
            std::string h;
            for (char c : bytes) {
                h += hex[static_cast<unsigned char>(c) >> 4];
                h += hex[static_cast<unsigned char>(c) & 15];
            }
            out += path + " = " + h + "\n";
            break;
        }
        case TPropKind::StringList: {
            const std::vector<std::string> list = p.GetList(obj);
            Line(out, path + ".Count", std::to_string(list.size()));
            for (std::size_t i = 0; i < list.size(); ++i)
                Line(out, path + "[" + std::to_string(i) + "]", QuoteBytes(Utf8ToCp1252(list[i])));
            break;
        }
        case TPropKind::Collection: {
            TCollectionBase& c = p.GetCollection(obj);
            Line(out, path + ".Count", std::to_string(c.Count()));
            for (std::size_t i = 0; i < c.Count(); ++i)
                DumpProps(out, c.ItemAt(i), c.ItemProperties(), path + "[" + std::to_string(i) + "].");
            break;
        }
        case TPropKind::Object:
            DumpProps(out, p.GetObject(obj), *p.ObjectTable, path + ".");
            break;
        }
    }
}

} // namespace

std::string DumpObject(TPersistent& root, const std::string& className)
{
    std::string out = "# class " + className + "\n";
    DumpProps(out, root, root.Properties(), "");
    return out;
}

} // namespace qv
